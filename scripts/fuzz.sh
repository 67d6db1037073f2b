#!/usr/bin/env bash
# Builds every fuzz target with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for QUILLORA_FUZZ_SECONDS (30 by default), all side by side, starting
# from its seed corpus. New inputs go to a scratch folder, never into the seed corpora. Exits
# non-zero when a target does not build or finds a crash (the crashing input is kept in
# build-fuzz/findings/<target>/).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${QUILLORA_FUZZ_SECONDS:-30}
jobs=$(nproc)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLORA_FUZZERS=ON -DQUILLORA_SANITIZE=ON -DQUILLORA_BENCHMARKS=OFF > /dev/null
mapfile -t targets < <(ctest --test-dir build-fuzz -N -L fuzz | sed -n 's/.*Test *#[0-9]*: \(.*\)_corpus$/\1/p')
if [ "${#targets[@]}" -eq 0 ]; then
  echo "no fuzz targets found" >&2
  exit 1
fi
cmake --build build-fuzz -j "$jobs" --target "${targets[@]}"

status=0
pids=()
for target in "${targets[@]}"; do
  binary=$(find build-fuzz -type f -name "$target" -perm -u+x | head -n 1)
  corpus=$(ctest --test-dir build-fuzz -N -V -R "^${target}_corpus\$" | sed -n 's/.*Test command: .*"-runs=0" "\(.*\)"$/\1/p')
  scratch=build-fuzz/scratch/$target
  findings=build-fuzz/findings/$target
  rm -rf "$scratch"
  mkdir -p "$scratch" "$findings"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -artifact_prefix="$findings/" \
    -print_final_stats=1 "$scratch" "$corpus" > "build-fuzz/findings/$target.log" 2>&1 &
  pids+=($!)
done
for i in "${!targets[@]}"; do
  if wait "${pids[$i]}"; then
    echo "fuzz ${targets[$i]}: clean ($(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "build-fuzz/findings/${targets[$i]}.log" | grep -o '[0-9]*$') runs)"
  else
    echo "fuzz ${targets[$i]}: FAILED, see build-fuzz/findings/${targets[$i]}.log" >&2
    status=1
  fi
done
exit $status
