#!/usr/bin/env bash
# Builds sms_bench, starts a private stack (database and SMS simulator) and times two mass sends:
# one against a prompt platform and one against a platform that answers every send SLOW ms late.
#
#   bench/run_sms_bench.sh [N] [SLOW]      N recipients (default 300), SLOW ms (default 800)
#
# BUILD_DIR picks the build folder (default: build beside the sources). The stack lives in
# FD_BENCH_DIR (default /tmp/fd-smsbench) on ports FD_BENCH_PORT.. +3 (default 3660) and is stopped
# afterwards. Each run takes about N seconds.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-300}
slow=${2:-800}
build=${BUILD_DIR:-$root/build}
dir=${FD_BENCH_DIR:-/tmp/fd-smsbench}
port=${FD_BENCH_PORT:-3660}

ninja -C "$build" sms_bench >/dev/null
"$root/tools/stack.sh" stop "$dir" >/dev/null 2>&1 || true
rm -rf "$dir"
trap '"$root/tools/stack.sh" stop "$dir" >/dev/null' EXIT
"$root/tools/stack.sh" start "$dir" "$port" 0 >/dev/null
export FLEETDESK_CONFIG=$dir/fleetdesk.ini FD_SMS_LOG=$dir/sms/messages.jsonl QT_QPA_PLATFORM=offscreen
"$build/bench/sms_bench" "$n" 0
"$build/bench/sms_bench" "$n" "$slow"
