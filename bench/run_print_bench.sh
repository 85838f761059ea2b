#!/usr/bin/env bash
# Builds print_bench, starts a private stack holding N generated vehicles and times printing and exporting them.
#
#   bench/run_print_bench.sh [N] [RUNS] [--out DIR]   N defaults to 100000, RUNS to 5; DIR keeps the files
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources, an optimised build
# without tests, configured when missing).
# The stack lives in /tmp/fd-bench-print on ports 4520-4522 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-5}
shift $(( $# > 2 ? 2 : $# ))
build=${BUILD_DIR:-$root/build-bench}
dir=/tmp/fd-bench-print
port=4520

if [ ! -f "$build/build.ninja" ]; then
    launcher=()
    if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFLEETDESK_TESTS=OFF "${launcher[@]}" >/dev/null
fi
ninja -C "$build" print_bench >/dev/null

"$root/tools/stack.sh" stop "$dir" >/dev/null 2>&1 || true
rm -rf "$dir"
trap '"$root/tools/stack.sh" stop "$dir" >/dev/null' EXIT
start=$(date +%s.%N)
"$root/tools/stack.sh" start "$dir" "$port" "$n" >/dev/null
echo "stack with $n vehicles ready in $(echo "$(date +%s.%N) - $start" | bc) s"

FLEETDESK_CONFIG=$dir/fleetdesk.ini QT_QPA_PLATFORM=offscreen "$build/bench/print_bench" "$n" --runs "$runs" "$@"
