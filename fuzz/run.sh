#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS (default 60) from its committed
# seeds; new inputs go to a corpus in the build folder, crashes to its
# artifacts folder. Fails when any target found a crash.
#
#   fuzz/run.sh [BUILD_DIR]
set -uo pipefail
build=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=offscreen
failed=()
for target in fuzz_regex_stream fuzz_plain_search fuzz_line_reader fuzz_ini fuzz_gzip_index; do
  corpus="$build/fuzz-corpus/$target"
  artifacts="$build/fuzz-artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  echo "== $target for ${seconds}s" >&2
  log="$build/fuzz-$target.log"
  "$build/fuzz/$target" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "$here/corpus/$target" > "$log" 2>&1
  rc=$?
  grep -E '^stat::number_of_executed_units|^stat::new_units_added|^==.*ERROR|^SUMMARY|crash-|timeout-' "$log" >&2 || true
  if [ $rc -ne 0 ]; then
    echo "$target found a fault (see $log and $artifacts)" >&2
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
