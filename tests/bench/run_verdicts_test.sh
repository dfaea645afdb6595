#!/usr/bin/env bash
# run.sh over fake benchmark programs: what each row shows and whether the
# run fails.
set -u
run=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/bench"
fake() { # name exit-code rows...
  local name=$1 rc=$2
  shift 2
  { echo '#!/bin/sh'; for row in "$@"; do printf "echo 'BENCH %s'\n" "$row"; done; echo "exit $rc"; } \
    > "$dir/bench/$name"
  chmod +x "$dir/bench/$name"
  echo "$name" >> "$dir/bench/benches.txt"
}
fake good 0 '{"figure":"met row","ours":2,"unit":"ms","goal":"<= 4 ms","valid":true,"met":true}' \
  '{"figure":"info row","ours":3,"unit":"ms","goal":"(info)","valid":true,"info":true,"met":true}' \
  '{"figure":"old zero row","ours":0,"unit":"ms","goal":"<= 4 ms","met":true}' \
  '{"figure":"missed row","ours":9,"unit":"ms","goal":"<= 4 ms","valid":true,"met":false}'
out=$(bash "$run" "$dir" 2>/dev/null)
rc=$?
passed=0
failed=0
check() { # figure expected-verdict
  if grep -Eq "^$1 .* $2 *\$" <<< "$out"; then
    passed=$((passed + 1))
  else
    echo "FAIL: $1 should show $2"
    failed=$((failed + 1))
  fi
}
check "met row" yes
check "info row" info
check "old zero row" NO
check "missed row" NO
if [ "$rc" -ne 0 ]; then echo "FAIL: a run of working programs failed"; failed=$((failed + 1)); else passed=$((passed + 1)); fi

fake broken 1 '{"figure":"broken row","ours":2,"unit":"ms","goal":"<= 4 ms","valid":true,"met":true}'
fake silent 0
out=$(bash "$run" "$dir" 2>/dev/null)
rc=$?
check "silent: no figures" NO
if [ "$rc" -eq 0 ]; then echo "FAIL: a failing program passed the run"; failed=$((failed + 1)); else passed=$((passed + 1)); fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
