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
# buffer pool (see tools/stack.sh). FD_REDO_LOG_MB sizes its InnoDB redo log in MiB (default 96, the
# server's own default, as the office's server has it; the stack starts with 8M so that the tests'
# servers start fast). With 8M the proof's load of the dump fills the redo log again and again,
# and every commit meanwhile, an office's save among them, waits for the flushing that makes room:
# saves of 100-400 ms. FD_REDO_LOG_MB=0 keeps the 8M and measures that.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
n=${1:-100000}
pictures=${2:-1000}
. "$here/bench-lib.sh"
bench_build backup_bench
ninja -C "$build" fleetdesk-backup >/dev/null
bench_stack /tmp/fd-backup-bench 3700 "$n"
# The redo log's size can grow while the server runs (MariaDB 10.9 and later).
if [ "${FD_REDO_LOG_MB:-96}" != 0 ]; then
  ( . /tmp/fd-backup-bench/stack.env
    MYSQL_PWD=$FD_ADMIN_DB_PASSWORD mariadb --no-defaults -u"$FD_ADMIN_DB_USER" -S "$FD_DB_SOCKET" -N \
        -e "SET GLOBAL innodb_log_file_size = ${FD_REDO_LOG_MB:-96} * 1048576" )
fi
echo "redo log: ${FD_REDO_LOG_MB:-96} MiB (0: the stack's 8 MiB)"

# The pictures: 300 kB of random bytes each, as little compressible as a photo and each its own,
# under the names a fleet's documents have (the backup copies files, it does not decode them).
pic=/tmp/fd-backup-bench/pic
for i in $(seq 1 "$pictures"); do head -c 300000 /dev/urandom >"$pic/豫H$(printf %05d "$i")行驶证.jpg"; done
echo "pictures: $pictures of 300 kB"

out=/tmp/fd-backup-bench/archives
FLEETDESK_CONFIG=/tmp/fd-backup-bench/fleetdesk.ini QT_QPA_PLATFORM=offscreen \
    "$build/bench/backup_bench" "$build/backup/fleetdesk-backup" "$out"
