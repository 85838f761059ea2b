#!/usr/bin/env bash
# Builds fleetdesk-backup and backup_bench, starts a private stack of N vehicles (default 100000)
# with PICTURES document pictures of 300 kB each in its picture folder (default 1000), and
# runs the benchmark: a ledger of a million rows is added, then a backup with its proof and a restore
# into a new database are timed while an office saves a vehicle every 100 ms.
#
#   bench/run_backup_bench.sh [N] [PICTURES]
#
# BUILD_DIR picks the build folder (default: build-bench beside the sources). The stack lives in
# /tmp/fd-backup-bench on ports 3700-3703 and is stopped afterwards; FD_BUFFER_POOL sizes its
# buffer pool (see tools/stack.sh).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
pictures=${2:-1000}
. "$here/bench-lib.sh"
bench_build backup_bench
ninja -C "$build" fleetdesk-backup >/dev/null
bench_stack /tmp/fd-backup-bench 3700 "$n"

# The pictures: 300 kB of random bytes each, as little compressible as a photo and each its own,
# under the names a fleet's documents have (the backup copies files, it does not decode them).
pic=/tmp/fd-backup-bench/pic
for i in $(seq 1 "$pictures"); do head -c 300000 /dev/urandom >"$pic/豫H$(printf %05d "$i")行驶证.jpg"; done
echo "pictures: $pictures of 300 kB"

out=/tmp/fd-backup-bench/archives
FLEETDESK_CONFIG=/tmp/fd-backup-bench/fleetdesk.ini QT_QPA_PLATFORM=offscreen \
    "$build/bench/backup_bench" "$build/backup/fleetdesk-backup" "$out"
