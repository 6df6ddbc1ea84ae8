#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build for a fixed time each, on a seed
# corpus made in a temporary folder, and fails when any of them finds a crash,
# a leak, a hang or an oversized allocation. ./demo test runs it after the
# test suites; by hand it also serves for long runs.
#
#   scripts/run-fuzzers.sh BUILD SECONDS [NAME...]
#
# BUILD is a tree configured with -DORV_BUILD_FUZZERS=ON and clang (build/fuzz);
# NAME is archive, scene, effect or image (all four when none is given).
# Environment:
#   FUZZ_JOBS      fuzzers run at once (default 2: one a core on the 2-core machine)
#   FUZZ_KEEP      folder to keep each run's corpus and log in (NAME/corpus,
#                  NAME/log); without it they go with the temporary folder
#   FUZZ_MALLOC_MB largest single allocation, in MB, before libFuzzer calls it
#                  a fault (default 256: the engine's own bound on a whole
#                  asset or archive member)
#
# Seeds: NAME_fuzz_seeds when the build has that program (it writes files of
# every shape its reader knows), plus the effect sources of the repository for
# the effect fuzzer; fuzz/NAME/NAME.dict is passed when it exists. A crashing
# input is kept under BUILD/fuzz-artifacts/NAME/ and its path printed, with the
# command that reproduces it. Prints, per fuzzer, the inputs run, executions a
# second and the corpus it ended with.
set -uo pipefail

if [ $# -lt 2 ]; then
  echo "usage: scripts/run-fuzzers.sh BUILD SECONDS [archive|scene|effect|image]..." >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd) || exit 2
seconds=$2
shift 2
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(archive scene effect image)
jobs=${FUZZ_JOBS:-2}
malloc_mb=${FUZZ_MALLOC_MB:-256}

scratch=$(mktemp -d /tmp/orv-fuzz-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# One fuzzer from seeds to verdict; its summary line goes to $scratch/NAME.result.
run_one() {
  local name=$1
  local exe=$build/fuzz/$name/${name}_fuzzer
  local work=$scratch/$name
  local artifacts=$build/fuzz-artifacts/$name
  mkdir -p "$work/seeds" "$work/corpus" "$work/cwd" "$artifacts"
  if [ ! -x "$exe" ]; then
    echo "$name: FAILED, $exe is not built" >"$scratch/$name.result"
    return
  fi
  if [ -x "$build/fuzz/$name/${name}_fuzz_seeds" ]; then
    "$build/fuzz/$name/${name}_fuzz_seeds" "$work/seeds" >/dev/null
  fi
  if [ "$name" = effect ]; then
    local file
    for file in "$root"/tests/platform/effects/*.fx; do cp "$file" "$work/seeds/test-${file##*/}"; done
    for file in "$root"/content/effects/*.fx; do cp "$file" "$work/seeds/demo-${file##*/}"; done
  fi
  local options=(-max_total_time="$seconds" -timeout=10 -malloc_limit_mb="$malloc_mb" -rss_limit_mb=2048
                 -print_final_stats=1 -artifact_prefix="$artifacts/")
  [ -f "$root/fuzz/$name/$name.dict" ] && options+=(-dict="$root/fuzz/$name/$name.dict")
  # The archive fuzzer mounts its working folder, as the demo does: an empty
  # one. Warnings about damaged archives go to standard error, which libFuzzer
  # then closes for the target (its own reports still show).
  [ "$name" = archive ] && options+=(-close_fd_mask=2)
  local before
  before=$(ls "$artifacts" | wc -l)
  (cd "$work/cwd" && "$exe" "${options[@]}" "$work/corpus" "$work/seeds") >"$work/log" 2>&1
  local status=$?
  local runs speed units bytes
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -1)
  units=$(ls "$work/corpus" | wc -l)
  bytes=$(du -sk "$work/corpus" | cut -f1)
  if [ -n "${FUZZ_KEEP:-}" ]; then
    mkdir -p "$FUZZ_KEEP/$name"
    cp -r "$work/corpus" "$FUZZ_KEEP/$name/"
    cp "$work/log" "$FUZZ_KEEP/$name/log"
  fi
  if [ "$status" -ne 0 ] || [ "$(ls "$artifacts" | wc -l)" -ne "$before" ]; then
    local input
    input=$(ls -t "$artifacts"/* 2>/dev/null | head -1)
    {
      echo "$name: FAILED (status $status) after ${runs:-?} inputs"
      grep -E "ERROR|SUMMARY|==[0-9]+==|deadly signal|Test unit written" "$work/log" | head -20
      echo "  reproducer: ${input:-none written}"
      [ -n "$input" ] && echo "  to reproduce: (cd \$(mktemp -d) && $exe $input)"
    } >"$scratch/$name.result"
  else
    echo "$name: ok, ${runs:-?} inputs in ${seconds} s (${speed:-?}/s), corpus $units files ($bytes KiB)" \
      >"$scratch/$name.result"
  fi
}

running=0
for name in "${names[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  run_one "$name" &
  running=$((running + 1))
done
wait

status=0
for name in "${names[@]}"; do
  cat "$scratch/$name.result"
  grep -q FAILED "$scratch/$name.result" && status=1
done
exit "$status"
