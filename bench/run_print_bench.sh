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
. "$here/bench-lib.sh"
bench_build print_bench
bench_stack /tmp/fd-bench-print 4520 "$n"

FLEETDESK_CONFIG=/tmp/fd-bench-print/fleetdesk.ini QT_QPA_PLATFORM=offscreen "$build/bench/print_bench" "$n" --runs "$runs" "$@"
