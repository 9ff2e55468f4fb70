#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer (the fuzz preset, build-fuzz/) and runs each
# for the given number of seconds (default 30), side by side, from a copy
# of its checked-in corpus. Fails on a finding; the input that found it is
# left in build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing clang libclang-rt-14-dev "${BUILD_PACKAGES[@]}"

seconds=${1:-30}
targets=(wildcard_match settings_value)
cmake --preset fuzz
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fuzz_one() {
  local target=$1
  local work=build-fuzz/corpus/$target findings=build-fuzz/findings/$target
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  cp tests/fuzz/corpus/"$target"/* "$work"/
  echo "Fuzzing $target for $seconds s"
  if ! build-fuzz/tests/fuzz/fuzz_"$target" -max_total_time="$seconds" \
    -timeout=10 -max_len=4096 -artifact_prefix="$findings/" \
    -print_final_stats=1 "$work" 2>build-fuzz/"$target".log; then
    tail -n 40 build-fuzz/"$target".log
    echo "fuzz_$target found a problem: $(ls "$findings")" >&2
    return 1
  fi
  grep -E "^stat::number_of_executed_units" build-fuzz/"$target".log |
    sed "s/^/$target: /" || true
}

pids=()
for target in "${targets[@]}"; do
  fuzz_one "$target" &
  pids+=($!)
done
failed=0
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
[ "$failed" -eq 0 ] || exit 1
echo "No findings."
