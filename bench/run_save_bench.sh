#!/usr/bin/env bash
# Builds save_bench and measures, on a single database and then on a three-node cluster (each a
# private stack started here and stopped afterwards, 1000 vehicles): the median of RUNS saves of
# one vehicle (one column changed each time), the plain update of all its columns against the
# checked save with its history; then reading a history of 1 000 entries.
#
#   bench/run_save_bench.sh [RUNS] [BASE_PORT]      RUNS defaults to 200, BASE_PORT to 4900
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources, an optimised build
# without tests, configured when missing). The database on BASE, the cluster from BASE+30.
# IN_MEMORY=1 keeps the single database's data in /dev/shm: the commit's flush to disk, which both
# kinds of save pay once and which other programs' disk traffic makes vary by milliseconds, then
# no longer hides what the saves themselves cost.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
runs=${1:-200}
base=${2:-4900}
. "$here/bench-lib.sh"
bench_build save_bench
single=/tmp/fd-bench-save-$base
if [ "${IN_MEMORY:-0}" = 1 ]; then single=/dev/shm/fd-bench-save-$base; fi
cluster=/tmp/fd-bench-savecl-$base
trap '"$root/tools/stack.sh" stop "$single" >/dev/null 2>&1 || true; "$root/tools/stack.sh" stop "$cluster" >/dev/null 2>&1 || true' EXIT
for d in "$single" "$cluster"; do "$root/tools/stack.sh" stop "$d" >/dev/null 2>&1 || true; rm -rf "$d"; done

"$root/tools/stack.sh" start "$single" "$base" 1000 >/dev/null
echo "== single server"
FLEETDESK_CONFIG=$single/fleetdesk.ini "$build/bench/save_bench" "$runs"
"$root/tools/stack.sh" stop "$single" >/dev/null

"$root/tools/stack.sh" cluster "$cluster" $((base + 30)) 1000 >/dev/null
echo "== three-node cluster (TLS), saving through node 1"
FLEETDESK_CONFIG=$cluster/fleetdesk.ini "$build/bench/save_bench" "$runs"
