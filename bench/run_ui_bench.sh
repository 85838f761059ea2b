#!/usr/bin/env bash
# Builds ui_bench, starts a private stack holding N generated vehicles and measures how long each
# user action holds the window's event loop, how soon the lists show their first rows, and the
# full list's total time against the mariadb client reading the same statement.
#
#   bench/run_ui_bench.sh [N] [RUNS]        N defaults to 100000, RUNS to 3
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources, an optimised build
# without tests, configured when missing).
# The stack lives in /tmp/fd-bench-ui on ports 4620-4623 and is stopped afterwards.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-3}
. "$here/bench-lib.sh"
bench_build ui_bench
bench_stack /tmp/fd-bench-ui 4620 "$n"

FLEETDESK_CONFIG=/tmp/fd-bench-ui/fleetdesk.ini QT_QPA_PLATFORM=offscreen "$build/bench/ui_bench" "$n" --runs "$runs"
