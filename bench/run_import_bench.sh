#!/usr/bin/env bash
# Builds import_bench and measures, on a single database (a private stack started here and stopped
# afterwards, 1000 vehicles stored), a 10 000-row .xlsx in the 导入车辆 window: the preview, the
# import and the longest hold of the window's event loop.
#
#   bench/run_import_bench.sh [ROWS] [BASE_PORT]      ROWS defaults to 10000, BASE_PORT to 5100
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
rows=${1:-10000}
base=${2:-5100}
. "$here/bench-lib.sh"
bench_build import_bench
bench_stack /tmp/fd-bench-import-$base "$base" 1000
QT_QPA_PLATFORM=offscreen FLEETDESK_CONFIG=/tmp/fd-bench-import-$base/fleetdesk.ini "$build/bench/import_bench" "$rows"
