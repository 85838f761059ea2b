#!/usr/bin/env bash
# Builds picture_bench, starts a private stack (for the picture window's import figure) and runs it.
#
#   bench/run_picture_bench.sh
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources). The stack lives in
# /tmp/fd-bench-picture on ports 4700-4703 (passive FTP 4710-4729) and is stopped afterwards; the slow web server of the
# thumbnail figure takes port 4760.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
. "$here/bench-lib.sh"
bench_build picture_bench
bench_stack /tmp/fd-bench-picture 4700 10

FLEETDESK_CONFIG=/tmp/fd-bench-picture/fleetdesk.ini QT_QPA_PLATFORM=offscreen "$build/bench/picture_bench" 4760
