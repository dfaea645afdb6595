#!/usr/bin/env bash
# Opens the viewer on a log that keeps growing; stops the writer when the
# viewer closes.
set -euo pipefail
viewer=${1:?usage: demo.sh PATH-TO-RAVELIN}
dir=$(mktemp -d)
log="$dir/demo.log"
here=$(cd "$(dirname "$0")" && pwd)
# Short enough that its end is on screen, so the view follows it at once.
head -n 15 "$here/../samples/sample.log" > "$log"
python3 "$here/append-log.py" "$log" 4 &
writer=$!
trap 'kill $writer 2>/dev/null || true; rm -rf "$dir"' EXIT
"$viewer" "$log"
