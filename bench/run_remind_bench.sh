#!/usr/bin/env bash
# Builds remind_bench, starts a private stack holding N generated vehicles and times planning
# today's reminders against the mariadb client reading the columns the plan reads.
#
#   bench/run_remind_bench.sh [N] [RUNS]        N defaults to 100000, RUNS to 5
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources, an optimised build
# without tests, configured when missing).
# The stack lives in /tmp/fd-rbench on ports 3670-3673 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-5}
. "$here/bench-lib.sh"
bench_build remind_bench
bench_stack /tmp/fd-rbench 3670 "$n"

FLEETDESK_CONFIG=/tmp/fd-rbench/fleetdesk.ini "$build/bench/remind_bench" "$n" --runs "$runs"
