#!/usr/bin/env bash
# Runs every benchmark of a build folder and prints one table:
# figure, ours, the peer's figure, the ratio, the goal, met or not.
# The same rows go to bench-results.json in the build folder.
set -euo pipefail
build=${1:-build/bench}
export RAVELIN_GENLOG="$build/bench/ravelin_genlog"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
rows="$build/bench-rows.txt"
: > "$rows"
while read -r name; do
  [ -n "$name" ] || continue
  echo "== $name" >&2
  out="$build/bench-$name.log"
  "$build/bench/$name" > "$out" 2>&1 || echo "$name failed (see $out)" >&2
  grep -v '^BENCH ' "$out" >&2 || true
  grep '^BENCH ' "$out" | sed 's/^BENCH //' >> "$rows" || true
done < "$build/bench/benches.txt"
python3 - "$rows" "$build/bench-results.json" <<'PY'
import json, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
json.dump(rows, open(sys.argv[2], "w"), indent=1)
def num(v):
    return "" if v is None else ("%.4g" % v)
head = ("figure", "ours", "peer", "ratio", "goal", "met")
table = [head]
for r in rows:
    ours = num(r.get("ours")) + " " + r.get("unit", "")
    peer = (num(r.get("peer")) + " " + r.get("peer_name", "")).strip()
    table.append((r["figure"], ours, peer, num(r.get("ratio")), r.get("goal", ""), "yes" if r.get("met") else "NO"))
w = [max(len(str(row[i])) for row in table) for i in range(len(head))]
for row in table:
    print("  ".join(str(c).ljust(w[i]) for i, c in enumerate(row)))
PY
