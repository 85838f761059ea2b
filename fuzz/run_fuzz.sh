#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in a
# build folder of their own and runs each for a while. A crash leaves its input in
# BUILD/artifacts/TARGET/ and makes the script fail; rerun one input with BUILD/fuzz/TARGET FILE.
#
#   fuzz/run_fuzz.sh [SECONDS_PER_TARGET] [TARGET...]     (default 180 s, every target)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-180}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_date_text fuzz_decipher fuzz_fields)

"$root/tools/install-deps.sh" clang libclang-rt-14-dev
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=$root
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    "${launcher[@]}" -DFLEETDESK_FUZZ=ON -DFLEETDESK_TESTS=OFF
fi
ninja -C "$build" "${targets[@]}"

# A few well-formed inputs to start from.
seed() { # target name content
  mkdir -p "$build/corpus/$1"
  printf '%s' "$3" > "$build/corpus/$1/seed-$2"
}
seed fuzz_date_text date "2016-05-31"
seed fuzz_date_text datetime "2016-05-31 10:00:00"
seed fuzz_date_text fraction "2016-5-1T23:59:59.123456"
seed fuzz_date_text zero "0000-00-00"
seed fuzz_decipher check $'\x5a31415926535\n6B686E'
seed fuzz_decipher text $'\x0027182818284\n\xe8\xb1\xab'
seed fuzz_fields number " -9223372036854775808"
seed fuzz_fields float "1.5e300"
seed fuzz_fields date "2016-02-29 23:59:59"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen
failed=()
for t in "${targets[@]}"; do
  rm -rf "$build/artifacts/$t"
  mkdir -p "$build/artifacts/$t"
  echo "== $t: $seconds s"
  dict=()
  case "$t" in fuzz_date_text | fuzz_fields) dict=(-dict="$root/fuzz/dates.dict") ;; esac
  rc=0
  "$build/fuzz/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 "${dict[@]}" \
    -artifact_prefix="$build/artifacts/$t/" "$build/corpus/$t" >"$build/$t.log" 2>&1 || rc=$?
  grep -E '^(#[0-9]+ +DONE|==[0-9]+==ERROR|SUMMARY|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$t.log" || true
  if [ "$rc" != 0 ] || [ -n "$(ls -A "$build/artifacts/$t")" ]; then
    failed+=("$t")
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "crashes or failures in: ${failed[*]} (inputs in $build/artifacts/)" >&2
  exit 1
fi
echo "no crash in: ${targets[*]}"
