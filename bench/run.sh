#!/usr/bin/env bash
# Runs every benchmark of a build folder and prints one table:
# figure, ours, the peer's figure, the ratio, the goal, met or not.
# The same rows go to bench-results.json in the build folder.
#
#   bench/run.sh [--smoke] [BUILD_DIR]
#
# --smoke (or RAVELIN_BENCH_SMOKE=1) runs each program briefly on tiny files:
# it proves every path works and fails when one does not, but measures
# nothing worth comparing. Any program that fails makes the script fail.
set -euo pipefail
build=build/bench
for arg in "$@"; do
  case "$arg" in
    --smoke) export RAVELIN_BENCH_SMOKE=1 ;;
    *) build=$arg ;;
  esac
done
export RAVELIN_GENLOG="$build/bench/ravelin_genlog"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
rows="$build/bench-rows.txt"
: > "$rows"
failed=()
while read -r name; do
  [ -n "$name" ] || continue
  echo "== $name" >&2
  out="$build/bench-$name.log"
  if ! "$build/bench/$name" > "$out" 2>&1; then
    echo "$name failed (see $out)" >&2
    failed+=("$name")
  fi
  grep -v '^BENCH ' "$out" >&2 || true
  if ! grep -q '^BENCH ' "$out"; then
    # A program that printed no figure still gets its row, never met.
    printf '{"figure": "%s: no figures", "unit": "", "goal": "", "valid": false, "met": false}\n' \
      "$name" >> "$rows"
    [[ " ${failed[*]-} " == *" $name "* ]] || failed+=("$name")
  fi
  grep '^BENCH ' "$out" | sed 's/^BENCH //' >> "$rows" || true
done < "$build/bench/benches.txt"
python3 - "$rows" "$build/bench-results.json" <<'PY'
import json, math, sys
rows = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
json.dump(rows, open(sys.argv[2], "w"), indent=1)
def num(v):
    return "" if v is None else ("%.4g" % v)
def verdict(r):
    ours = r.get("ours")
    # A figure that is missing, not a number or (unless a count may be) zero
    # was not measured: never met, whatever the program claimed.
    if not r.get("valid", False) or not isinstance(ours, (int, float)) or not math.isfinite(ours):
        return "NO"
    if not r.get("met"):
        return "NO"
    return "info" if r.get("info") else "yes"
head = ("figure", "ours", "peer", "ratio", "goal", "met")
table = [head]
for r in rows:
    ours = num(r.get("ours")) + " " + r.get("unit", "")
    peer = (num(r.get("peer")) + " " + r.get("peer_name", "")).strip()
    table.append((r["figure"], ours, peer, num(r.get("ratio")), r.get("goal", ""), verdict(r)))
w = [max(len(str(row[i])) for row in table) for i in range(len(head))]
for row in table:
    print("  ".join(str(c).ljust(w[i]) for i, c in enumerate(row)))
PY
if [ "${#failed[@]}" -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
