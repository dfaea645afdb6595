#!/bin/sh
# Starts the program on a private X server with a file that does not exist, so
# that a message box opens, and checks the window titles the X server holds:
# the box's title is exactly its caption. Exit 77 (skipped) without Xvfb.
exe=$1
dir=$2
command -v Xvfb >/dev/null && command -v xwininfo >/dev/null || exit 77
mkdir -p "$dir" || exit 1
printf '[Opt]\nCfmExit=0\nReopen=0\n' >"$dir/Ravelin.ini"
rm -f "$dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 3>"$dir/display" >/dev/null 2>&1 &
xvfb=$!
i=0
while [ ! -s "$dir/display" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
DISPLAY=:$(cat "$dir/display")
export DISPLAY
unset QT_QPA_PLATFORM
ASAN_OPTIONS=detect_leaks=0 "$exe" --config "$dir/Ravelin.ini" "$dir/missing.log" >/dev/null 2>&1 &
app=$!
status=1
i=0
while [ $i -lt 300 ]; do
    xwininfo -root -tree >"$dir/windows.txt" 2>/dev/null
    if grep -q '"Ravelin": ' "$dir/windows.txt"; then
        status=0
        break
    fi
    sleep 0.1
    i=$((i + 1))
done
kill $app 2>/dev/null
kill $xvfb 2>/dev/null
wait $app $xvfb 2>/dev/null
if [ $status -ne 0 ]; then
    echo "no window titled exactly \"Ravelin\"; the titles were:"
    grep '"' "$dir/windows.txt"
fi
exit $status
