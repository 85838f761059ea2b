#!/usr/bin/env bash
# Builds fleet_bench, starts a private stack holding N generated vehicles and runs the benchmark.
#
#   bench/run_fleet_bench.sh [N] [RUNS]        N defaults to 100000, RUNS to 5
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources, an optimised build
# without tests, configured when missing).
# The stack lives in /tmp/fd-bench on ports 3650-3652 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-5}
. "$here/bench-lib.sh"
bench_build fleet_bench
bench_stack /tmp/fd-bench 3650 "$n"

FLEETDESK_CONFIG=/tmp/fd-bench/fleetdesk.ini QT_QPA_PLATFORM=offscreen "$build/bench/fleet_bench" "$n" --runs "$runs"
