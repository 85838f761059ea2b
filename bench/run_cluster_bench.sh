#!/usr/bin/env bash
# Builds cluster_bench and measures, each on a private stack started here and stopped afterwards:
#   1. the full-list fill of N vehicles (default 100 000) over TLS against the same fill in clear
#      text, from one database (RUNS alternate pairs, default 5): "TLS/clear fill ratio" line;
#   2. on a three-node cluster holding 1000 vehicles: logged in on node 1, node 1 is killed (then,
#      in a second round, shut down, and in a third frozen with SIGSTOP after the session has been
#      idle for a while) and the next full list is timed from the node's end or freeze (RUNS times
#      each, node 1 rejoining in between): "death to the next list's result" and "freeze to the
#      next list's result" lines.
#
#   bench/run_cluster_bench.sh [N] [RUNS] [BASE_PORT]
#
# BUILD_DIR picks the build folder (default: build/). Ports: the database on BASE (default
# 4800), the cluster from BASE+30 (its nodes on BASE+61..63, see tools/stack.sh).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
runs=${2:-5}
base=${3:-4800}
build=${BUILD_DIR:-$root/build}
single=/tmp/fd-bench-tls-$base
cluster=/tmp/fd-bench-cl-$base

ninja -C "$build" cluster_bench >/dev/null
trap '"$root/tools/stack.sh" stop "$single" >/dev/null 2>&1 || true; "$root/tools/stack.sh" stop "$cluster" >/dev/null 2>&1 || true' EXIT

for d in "$single" "$cluster"; do "$root/tools/stack.sh" stop "$d" >/dev/null 2>&1 || true; rm -rf "$d"; done
"$root/tools/stack.sh" start "$single" "$base" "$n" >/dev/null
echo "== fill of $n vehicles, TLS against clear text"
FLEETDESK_CONFIG=$single/fleetdesk.ini "$build/bench/cluster_bench" tls "$runs"
"$root/tools/stack.sh" stop "$single" >/dev/null

"$root/tools/stack.sh" cluster "$cluster" $((base + 30)) 1000 >/dev/null
echo "== failover: node 1 killed, node 1 shut down, node 1 frozen"
FLEETDESK_CONFIG=$cluster/fleetdesk.ini FD_STACK_DIR=$cluster FD_STACK_SCRIPT=$root/tools/stack.sh \
    "$build/bench/cluster_bench" failover "$runs"
