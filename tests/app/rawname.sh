#!/bin/sh
# A file named on the command line by bytes that are not UTF-8 opens that very
# file, and the settings written at exit keep those bytes, so it reopens.
# Usage: rawname.sh RAVELIN WORKDIR
set -u
exe=$1
dir=$2
export LC_ALL=C
rm -rf "$dir" && mkdir -p "$dir" || exit 1
name="$dir/bad$(printf '\377')name.log"
printf 'line\n' > "$name" || exit 1
messages=$("$exe" --quit-after-show --config "$dir/Ravelin.ini" "$name" 2>&1 >/dev/null)
status=$?
if [ $status -ne 0 ] || printf '%s\n' "$messages" | grep -q 'Cannot\|Sanitizer\|runtime error'; then
    printf 'exit status %s\n%s\n' "$status" "$messages"
    exit 1
fi
if ! grep -qxF "1=$name" "$dir/Ravelin.ini"; then
    echo "[Save] does not hold the name's bytes:"
    cat "$dir/Ravelin.ini"
    exit 1
fi
