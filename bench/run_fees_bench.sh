#!/usr/bin/env bash
# Builds fees_bench, starts a private stack holding N generated vehicles and runs the benchmark,
# which adds a ledger of a million rows on the server.
#
#   bench/run_fees_bench.sh [N] [RUNS]        N defaults to 100000, RUNS to 5
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources).
# The stack lives in /tmp/fd-fee-bench on ports 3690-3693 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-5}
. "$here/bench-lib.sh"
bench_build fees_bench
bench_stack /tmp/fd-fee-bench 3690 "$n"

FLEETDESK_CONFIG=/tmp/fd-fee-bench/fleetdesk.ini QT_QPA_PLATFORM=offscreen "$build/bench/fees_bench" --runs "$runs"
