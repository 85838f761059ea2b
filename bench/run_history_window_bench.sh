#!/usr/bin/env bash
# Builds history_window_bench, starts a private stack and measures how long 修改记录 takes to show
# a vehicle's history of ENTRIES rows.
#
#   bench/run_history_window_bench.sh [ENTRIES] [RUNS]      ENTRIES defaults to 1000, RUNS to 10
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources).
# The stack lives in /tmp/fd-bench-hist on ports 4740-4743 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
entries=${1:-1000}
runs=${2:-10}
. "$here/bench-lib.sh"
bench_build history_window_bench
bench_stack /tmp/fd-bench-hist 4740 0

FLEETDESK_CONFIG=/tmp/fd-bench-hist/fleetdesk.ini QT_QPA_PLATFORM=offscreen \
  "$build/bench/history_window_bench" "$entries" --runs "$runs"
