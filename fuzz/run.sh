#!/usr/bin/env bash
# Runs every fuzz target of the build for FUZZ_SECONDS (default 60) from its
# committed seeds; new inputs go to a corpus in the build folder, crashes to
# its artifacts folder. Fails when any target found a crash. With --smoke
# every committed seed must pass, then a short run starts from the seeds
# alone with a fixed random seed and keeps nothing it finds, so that it
# depends on the commit only (CI runs it); its findings fail it only with
# FUZZ_STRICT=1.
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
# Recording where every block was allocated costs the parsers a fifth of
# their runs; a finding run again by hand (fuzz_x FILE) gives the stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}
failed=()
found=()
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
  seed=()
  # The smoke run mutates in the same order every time, so that CI tells of
  # a commit, not of the day's luck; the long run explores afresh each time.
  [ $smoke = 1 ] && corpus="$build/fuzz-smoke/$target" && rm -rf "$corpus" && seed=(-seed=1)
  artifacts="$build/fuzz-artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  echo "== $target for ${seconds}s" >&2
  log="$build/fuzz-$target.log"
  seeds=()
  [ -d "$here/corpus/$target" ] && seeds=("$here/corpus/$target")
  common=(-max_len=4096 -timeout=20 -rss_limit_mb=2048 -artifact_prefix="$artifacts")
  if [ $smoke = 1 ] && ! "$exe" "${common[@]}" -runs=0 "${seeds[@]}" > "$log.seeds" 2>&1; then
    echo "$target fails on a committed seed (see $log.seeds)" >&2
    failed+=("$target")
    continue
  fi
  "$exe" "${seed[@]}" -max_total_time="$seconds" "${common[@]}" -print_final_stats=1 \
    "$corpus" "${seeds[@]}" > "$log" 2>&1
  rc=$?
  grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec|^==.*ERROR|^SUMMARY|crash-|timeout-' "$log" >&2 || true
  if [ $rc -ne 0 ]; then
    echo "$target found a fault (see $log and $artifacts)" >&2
    found+=("$target")
  fi
done
if [ ${#found[@]} -gt 0 ]; then
  echo "found faults: ${found[*]}" >&2
  # The smoke run gates on the seeds; what its few seconds of mutation find
  # is told loudly but fails it only with FUZZ_STRICT=1, so that a fault
  # already known and open does not stop every commit.
  [ $smoke = 0 ] || [ "${FUZZ_STRICT:-0}" = 1 ] && failed+=("${found[@]}")
fi
if [ ${#failed[@]} -gt 0 ]; then
  echo "failed: ${failed[*]}" >&2
  exit 1
fi
