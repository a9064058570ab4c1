#!/usr/bin/env bash
# tools/fuzz.sh [SECONDS] [TARGET...]
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/, writes their seed corpora with
# the program's own writers, and runs each target (all of them unless named) in turn for SECONDS
# (default 60). Exits 1 when any target finds something: a crash, a sanitizer report, a broken
# property, a leak, an input slower than the timeout, one that needs more memory than the limit
# or one that asks for malloc_limit_mb (below) in one allocation. What was found is kept in
# build-fuzz/fuzz/findings/TARGET/; replay one input with
#   build-fuzz/fuzz/fuzz_TARGET build-fuzz/fuzz/findings/TARGET/crash-...
# The corpus each target grows is kept in build-fuzz/fuzz/corpus/TARGET/ for the next run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds < 1)); then
  echo "usage: tools/fuzz.sh [SECONDS] [TARGET...]" >&2
  exit 2
fi

tools/dev.sh fuzz-deps

root=$(pwd)
build=$root/build-fuzz
# -O1 keeps the targets fast; Debug keeps the program's own consistency checks on.
cmake -S . -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-g -O1" -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DMERIDIA_FUZZ=ON -DMERIDIA_BUILD_TESTS=OFF -DMERIDIA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target meridia_fuzzers --parallel "$(nproc)"

fuzz=$build/fuzz
rm -rf "$fuzz/seeds"
"$fuzz/meridia-fuzz-seeds" "$fuzz/seeds"

targets=()
declare -A max_len
while read -r name length; do
  [ -n "$name" ] || continue
  targets+=("$name")
  max_len[$name]=$length
done <"$fuzz/targets.txt"
if (($# > 0)); then
  for name in "$@"; do
    if [ -z "${max_len[$name]:-}" ]; then
      echo "tools/fuzz.sh: no target $name (targets: ${targets[*]})" >&2
      exit 2
    fi
  done
  targets=("$@")
fi

# No single allocation may reach this: an input that makes one has a header that claims more
# than its bytes can back. The largest legitimate one is a picture of the most pixels a file may
# claim (16384 a byte) at four bytes a pixel: 256 MiB for the image target's longest input of
# 4 KiB, half the limit; every other target stays far below it.
malloc_limit_mb=512

export UBSAN_OPTIONS=print_stacktrace=1
failed=()
summary=()
total_runs=0
for name in "${targets[@]}"; do
  corpus=$fuzz/corpus/$name
  findings=$fuzz/findings/$name
  work=$fuzz/work/$name
  log=$fuzz/logs/$name.log
  rm -rf "$work"
  mkdir -p "$corpus" "$findings" "$work" "$fuzz/logs"
  stamp=$(mktemp)
  echo "== $name: ${seconds}s (log: $log)"
  status=0
  # One target at a time, each in its own scratch folder: some readers only take file names.
  (cd "$work" && "$fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb="$malloc_limit_mb" -max_len="${max_len[$name]}" \
    -artifact_prefix="$findings/" -print_final_stats=1 \
    "$corpus" "$fuzz/seeds/$name") >"$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  total_runs=$((total_runs + ${execs:-0}))
  new_findings=$(find "$findings" -type f -newer "$stamp" | sort)
  rm -f "$stamp"
  line=$(printf '%-16s %8s runs  %5s corpus  ' "$name" "${execs:-?}" \
    "$(find "$corpus" -type f | wc -l)")
  if ((status != 0)) || [ -n "$new_findings" ]; then
    failed+=("$name")
    summary+=("$line FOUND (exit $status)")
    grep -m 3 -E '^(==[0-9]+==ERROR|SUMMARY|fuzz property violated|.*runtime error)' "$log" || true
    for file in $new_findings; do summary+=("    $file"); done
  else
    summary+=("$line ok")
  fi
done

echo
echo "Fuzzing for ${seconds}s a target:"
printf '%s\n' "${summary[@]}"
echo "${#targets[@]} targets, $((seconds * ${#targets[@]}))s, $total_runs runs in all"
if ((${#failed[@]} > 0)); then
  echo "tools/fuzz.sh: findings in ${failed[*]}; see build-fuzz/fuzz/logs/ and findings/" >&2
  exit 1
fi
echo "tools/fuzz.sh: nothing found"
