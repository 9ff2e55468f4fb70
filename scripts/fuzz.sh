#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/ and runs each one for the given
# number of seconds (default 30) from a copy of its checked-in corpus.
# Fails on the first finding; the input that found it is left in
# build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing clang libclang-rt-14-dev "${BUILD_PACKAGES[@]}"

seconds=${1:-30}
targets=(text_to_int16 time_of_day folder_text wildcard_match settings_value)

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DTARNLIGHT_FUZZ=ON \
  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
tmp=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && tmp=/dev/shm
# One target a core at a time: each gets its full time, and the run takes
# a fraction of the sum.
fuzz_one() {
  local target=$1
  local work=build-fuzz/corpus/$target findings=build-fuzz/findings/$target
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  cp tests/fuzz/corpus/"$target"/* "$work"/
  # Each run of the settings target writes a file: in memory when there is
  # a tmpfs, and long values from the start, since fewer runs fit the time.
  local extra=()
  [ "$target" = settings_value ] && extra=(-len_control=0)
  echo "Fuzzing $target for $seconds s"
  if ! TMPDIR=$tmp build-fuzz/tests/fuzz/fuzz_"$target" \
    -max_total_time="$seconds" -timeout=10 -max_len=4096 "${extra[@]}" \
    -artifact_prefix="$findings/" -print_final_stats=1 "$work" \
    2>build-fuzz/"$target".log; then
    tail -n 40 build-fuzz/"$target".log
    echo "fuzz_$target found a problem: $(ls "$findings")" >&2
    return 1
  fi
  grep -E "^stat::number_of_executed_units" build-fuzz/"$target".log |
    sed "s/^/$target: /" || true
}

jobs=$(nproc)
failed=0
pids=()
for target in "${targets[@]}"; do
  fuzz_one "$target" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
[ "$failed" -eq 0 ] || exit 1
echo "No findings."
