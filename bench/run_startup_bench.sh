#!/usr/bin/env bash
# Builds fleetdesk, a bare Qt program showing one label and startup_bench, and measures on a
# virtual X display how long each takes from its process start until its first window (for
# fleetdesk: the login window) is drawn. The programs start in turns; the report gives the median,
# the quartiles and the range of each, and fleetdesk's median against the bare program's.
#
#   bench/run_startup_bench.sh [RUNS] [PROGRAM ...]     RUNS defaults to 40
#
# Further PROGRAMs (another build of fleetdesk, for a before and after) are measured in the same
# turns, waiting for the login window too. BUILD_DIR picks the build folder (default: build-bench
# beside the sources, an optimised build without tests, configured when missing).
# The settings come from a stack without vehicles in /tmp/fd-bench-start on ports 4760-4763
# (the login window reaches no server; its settings file is read as in an office), stopped
# afterwards. Needs Xvfb and the X Damage extension's headers (libxcb-damage0-dev).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
runs=${1:-40}
shift || true
. "$here/bench-lib.sh"
bench_build fleetdesk
bench_build bare_label
bench_build startup_bench || { echo "startup_bench needs libxcb-damage0-dev" >&2; exit 1; }
# The login window shows before the rest of the program and its libraries are loaded
# (fleetdesk-program): the program itself needs Qt's widgets and nothing of the database, the
# network, printing or charts.
needed=$(readelf -d "$build/app/fleetdesk" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | tr '\n' ' ')
echo "fleetdesk needs: $needed"
if grep -Eq 'libmariadb|libcurl|Qt6Charts|Qt6PrintSupport|libjpeg|libxlsxwriter' <<<"$needed"; then
    echo "fleetdesk loads the rest of the program's libraries before its login window" >&2
    exit 1
fi
bench_stack /tmp/fd-bench-start 4760 0

work=$(mktemp -d /tmp/fd-startup-XXXXXX)
xvfb=
cleanup() {
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; fi
    rm -rf "$work"
    "$root/tools/stack.sh" stop /tmp/fd-bench-start >/dev/null
}
trap cleanup EXIT
# -noreset: the server stays as it is between the programs coming and going.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; exit 1; }

# A user without a remembered login or settings of their own.
mkdir -m 700 "$work/run" "$work/home"
export DISPLAY=:$(cat "$work/display") XDG_RUNTIME_DIR=$work/run HOME=$work/home QT_QPA_PLATFORM=xcb
export FLEETDESK_CONFIG=/tmp/fd-bench-start/fleetdesk.ini
title=路衡通挂靠运输公司车辆管理软件
programs=(bare-label "$build/bench/bare_label" "$title" "$build/app/fleetdesk")
for p in "$@"; do programs+=("$title" "$p"); done
echo "machine load before the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
"$build/bench/startup_bench" --runs "$runs" "${programs[@]}"
echo "machine load after the runs: $(cut -d' ' -f1-3 /proc/loadavg)"
