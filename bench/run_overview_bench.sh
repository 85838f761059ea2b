#!/usr/bin/env bash
# Builds overview_bench, starts a private stack holding N generated vehicles and runs the benchmark.
#
#   bench/run_overview_bench.sh [N] [RUNS]        N defaults to 100000, RUNS to 5
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources).
# The stack lives in /tmp/fd-ov-bench on ports 3680-3683 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-5}
. "$here/bench-lib.sh"
bench_build overview_bench
bench_stack /tmp/fd-ov-bench 3680 "$n"

FLEETDESK_CONFIG=/tmp/fd-ov-bench/fleetdesk.ini QT_QPA_PLATFORM=offscreen "$build/bench/overview_bench" --runs "$runs"
