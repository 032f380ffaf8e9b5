#!/usr/bin/env bash
# Runs fuzz targets one after the other, each for SECONDS, on its committed corpus
# (tests/fuzz/corpus/<target>, read only) and a scratch corpus under WORK_DIR that
# keeps what the fuzzer finds; crashes land in WORK_DIR/artifacts/<target>/.
# Usage: run_fuzzers.sh BIN_DIR SECONDS WORK_DIR [TARGET...]   (default: all)
set -euo pipefail

if [ $# -lt 3 ]; then
  echo "usage: $0 BIN_DIR SECONDS WORK_DIR [TARGET...]" >&2
  exit 2
fi
bin_dir=$1 seconds=$2 work_dir=$3
shift 3
source_dir=$(cd "$(dirname "$0")" && pwd)
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for corpus in "$source_dir"/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi

failed=0
for target in "${targets[@]}"; do
  program=$bin_dir/fuzz_$target
  seeds=$source_dir/corpus/$target
  scratch=$work_dir/corpus/$target
  artifacts=$work_dir/artifacts/$target
  log=$work_dir/logs/$target.log
  if [ ! -x "$program" ] || [ ! -d "$seeds" ]; then
    echo "fuzz $target: missing $program or $seeds" >&2
    failed=1
    continue
  fi
  mkdir -p "$scratch" "$artifacts" "$(dirname "$log")"
  options=(-max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$artifacts/")
  if [ -f "$source_dir/$target.dict" ]; then options+=(-dict="$source_dir/$target.dict"); fi
  # The scratch corpus comes first: libFuzzer writes new inputs into the first folder only.
  if "$program" "${options[@]}" "$scratch" "$seeds" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "fuzz $target: ok, ${runs:-?} runs in ${seconds}s"
  else
    echo "fuzz $target: FAILED (log $log, artifacts in $artifacts)" >&2
    tail -n 40 "$log" >&2
    failed=1
  fi
done
exit $failed
