#!/usr/bin/env bash
# Runs every fuzz target of the build for FUZZ_SECONDS (default 60) from its
# committed seeds; new inputs go to a corpus in the build folder, crashes to
# its artifacts folder. Fails when any target found a crash. With --smoke the
# run starts from the seeds alone and keeps nothing it finds, so that it
# depends on the commit only (CI runs it).
#
#   fuzz/run.sh [--smoke] [BUILD_DIR]
set -uo pipefail
smoke=0
if [ "${1:-}" = --smoke ]; then
  smoke=1
  shift
fi
build=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
export QT_QPA_PLATFORM=offscreen
failed=()
# The executables only: the build folder also holds fuzz_*_autogen folders.
targets=()
for exe in "$build"/fuzz/fuzz_*; do
  [ -f "$exe" ] && [ -x "$exe" ] && targets+=("$exe")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build/fuzz" >&2
  exit 1
fi
for exe in "${targets[@]}"; do
  target=$(basename "$exe")
  corpus="$build/fuzz-corpus/$target"
  [ $smoke = 1 ] && corpus="$build/fuzz-smoke/$target" && rm -rf "$corpus"
  artifacts="$build/fuzz-artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  echo "== $target for ${seconds}s" >&2
  log="$build/fuzz-$target.log"
  seeds=()
  [ -d "$here/corpus/$target" ] && seeds=("$here/corpus/$target")
  "$exe" -max_total_time="$seconds" -max_len=4096 -timeout=20 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$corpus" "${seeds[@]}" > "$log" 2>&1
  rc=$?
  grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec|^==.*ERROR|^SUMMARY|crash-|timeout-' "$log" >&2 || true
  if [ $rc -ne 0 ]; then
    echo "$target found a fault (see $log and $artifacts)" >&2
    failed+=("$target")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
