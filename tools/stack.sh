#!/usr/bin/env bash
# The local stack on 127.0.0.1: a private MariaDB loaded with the schema, a sample fleet and the
# user "admin", an FTP server and a web server over one picture folder, the SMS platform simulator
# (tools/smssim.py, account "demo" / "demo123" with 1000 messages; what it receives is logged in
# DIR/sms/messages.jsonl), and the settings file that points the program at them. Everything is
# started and stopped by process id.
#
#   tools/stack.sh start DIR [BASE_PORT] [VEHICLES]   (database BASE, FTP BASE+1, web BASE+2, SMS BASE+3)
#   tools/stack.sh cluster DIR [BASE_PORT] [VEHICLES] (three Galera nodes instead of one database)
#   tools/stack.sh node-stop DIR N | node-start DIR N (one cluster node leaves, or rejoins)
#   tools/stack.sh plain DIR PORT                     (a bare database without TLS, for tests)
#   tools/stack.sh stop DIR
#
# FD_BUFFER_POOL sizes the single database's InnoDB buffer pool (default 128M, the server's own
# default): the benchmarks give a fleet of 100 000 vehicles with a million ledger rows room for
# them, as the office's server would be set up for its data.
#
# The databases speak TLS with a private CA made by openssl in DIR/tls (FLEETDESK_TLS=0: clear
# text), and the settings file requires it and verifies the server's certificate.
#
# DIR must be short (the server socket lives in it). A second start on a running stack only
# rewrites the settings file. A port that another program holds is refused before anything starts.
# Stop ends only the servers this stack started: a pid file whose process now runs something else
# is left alone. Files holding passwords are readable by their owner only.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|cluster|node-stop|node-start|plain|stop DIR [BASE_PORT|N] [VEHICLES]" >&2; exit 2; }
# One folder, one stack, whichever way it is named.
if [ -d "$dir" ]; then dir=$(cd "$dir" && pwd); fi
base=${3:-3310}
vehicles=${4:-300}
py=/usr/bin/python3
tls=${FLEETDESK_TLS:-1}

db_port=$base
ftp_port=$((base + 1))
web_port=$((base + 2))
sms_port=$((base + 3))
pasv_lo=$((base + 10))
pasv_hi=$((base + 29))

# Deployment values of the demo and test stacks.
key_a=31415926535
key_b=27182818284
mask=90
db_user=fleetdesk
db_password=fleetdesk-2016
# The backup program's own account (dumps, scratch databases): see db/grants.sql.
backup_user=fleetdesk_backup
backup_password=fleetdesk-backup-2016
ftp_user=ftpuser
ftp_password=ftppass
admin_password=123456
sms_account=demo:demo123:1000
# The six pieces: send (before user, password, phone, message), balance (before user, password).
sms_template="http://127.0.0.1:$sms_port/sms/send?uid=@#\$%&pwd=@#\$%&mobile=@#\$%&content=@#\$%http://127.0.0.1:$sms_port/sms/balance?uid=@#\$%&pwd="

running() { # pid -> running (not a zombie)?
    local pid=$1 state
    [ -n "$pid" ] && [ -r "/proc/$pid/status" ] || return 1
    state=$(awk '/^State:/{print $2}' "/proc/$pid/status")
    [ "$state" != "Z" ] && [ "$state" != "X" ]
}

cmdline() { # pid -> its command line, arguments joined by blanks
    tr '\0' ' ' < "/proc/$1/cmdline" 2>/dev/null || true
}

# The command-line marks of this stack's servers: a pid file only counts when its process is
# still the server it names (a pid is reused once its process has ended).
db_marks() { echo "mariadbd --pid-file=$dir/db/mysqld.pid"; }
ftp_marks() { echo "ftpserver.py --directory $dir/pic"; }
web_marks() { echo "webserver.py --directory $dir/pic"; }
node_marks() { echo "mariadbd --pid-file=$dir/n$1/m.pid"; }
sms_marks() { echo "smssim.py --log $dir/sms/messages.jsonl"; }
plain_marks() { echo "mariadbd --pid-file=$dir/plain/mysqld.pid"; }

ours() { # pid marks... -> does the process's command line carry every mark (each ending an argument)?
    local pid=$1 line mark
    shift
    line=" $(cmdline "$pid") "
    for mark in "$@"; do
        case "$line" in *"$mark "*) ;; *) return 1 ;; esac
    done
}

alive() { # pid file marks... -> this stack's server running?
    local f=$1 pid
    shift
    [ -f "$f" ] || return 1
    pid=$(cat "$f" 2>/dev/null) || return 1
    running "$pid" && ours "$pid" "$@"
}

port_holder() { # port -> prints who listens on 127.0.0.1/any address at it; false when free
    local port=$1 hex inodes inode fd pid
    hex=$(printf '%04X' "$port")
    inodes=$(awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p {print $10}' \
        /proc/net/tcp /proc/net/tcp6 2>/dev/null)
    [ -n "$inodes" ] || return 1
    for inode in $inodes; do
        for fd in /proc/[0-9]*/fd/*; do
            if [ "$(readlink "$fd" 2>/dev/null)" = "socket:[$inode]" ]; then
                pid=${fd#/proc/}
                pid=${pid%%/*}
                echo "pid $pid: $(cmdline "$pid")"
                return 0
            fi
        done
    done
    echo "a program this user cannot see"
}

refuse_held() { # port role
    local who
    if who=$(port_holder "$1"); then
        echo "port $1 ($2) is held by another program ($who); choose another BASE_PORT or stop that program" >&2
        exit 1
    fi
}

write_private() { # file <- stdin, readable by the owner only (a wider existing file is replaced)
    local f=$1
    rm -f "$f.tmp"
    (umask 077 && cat > "$f.tmp")
    chmod 600 "$f.tmp"
    mv -f "$f.tmp" "$f"
}

wait_gone() { # pid
    local pid=$1 i state
    for i in $(seq 1 200); do
        [ -r "/proc/$pid/status" ] || return 0
        state=$(awk '/^State:/{print $2}' "/proc/$pid/status")
        [ "$state" = "Z" ] && return 0
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null || true
}

stop_pid() { # pid file marks...
    local f=$1 pid
    if alive "$@"; then
        pid=$(cat "$f")
        kill -TERM "$pid" 2>/dev/null || true
        wait_gone "$pid"
    elif [ -f "$f" ] && pid=$(cat "$f" 2>/dev/null) && running "$pid"; then
        echo "pid $pid of $f is no longer this stack's server ($(cmdline "$pid")): left alone" >&2
    fi
    rm -f "$f"
}

encipher() { # value key
    "$py" - "$1" "$2" "$mask" <<'PY'
import hashlib, sys
value, key, mask = sys.argv[1], sys.argv[2], int(sys.argv[3])
body = bytes(b ^ mask for b in value.encode("gbk")).hex().upper()
print(body + hashlib.md5(key.encode("gbk")).hexdigest()[2:11].upper())
PY
}

write_settings() {
    local ini=$dir/fleetdesk.ini
    write_private "$ini" <<INI
[fleetdesk]
dbHost=$(encipher "${db_hosts:-127.0.0.1}" $key_a)
dbUser=$(encipher $db_user $key_b)
dbPassword=$(encipher $db_password $key_b)
backupUser=$(encipher $backup_user $key_b)
backupPassword=$(encipher $backup_password $key_b)
ftpUser=$(encipher $ftp_user $key_a)
ftpPassword=$(encipher $ftp_password $key_a)
smsUser=$(encipher ${sms_account%%:*} $key_a)
smsPassword=$(encipher $(echo $sms_account | cut -d: -f2) $key_a)
settingKeyA=$key_a
settingKeyB=$key_b
xorMask=$mask
serverAddress=${db_hosts:-127.0.0.1}
supportContact=QQ 800012345 手机 13800138000
companyName=路衡通挂靠运输公司
dbPort=$db_port
ftpPort=$ftp_port
webPort=$web_port
connectivityUrl=http://127.0.0.1:$web_port/
smsUrlTemplate=$sms_template
httpConnectTimeoutSeconds=3
httpTotalTimeoutSeconds=30
$(tls_settings)
INI
    write_private "$dir/stack.env" <<ENV
FLEETDESK_CONFIG=$ini
FD_DB_PORT=$db_port
FD_FTP_PORT=$ftp_port
FD_WEB_PORT=$web_port
FD_SMS_PORT=$sms_port
FD_SMS_LOG=$dir/sms/messages.jsonl
FD_PIC_DIR=$dir/pic
FD_DB_SOCKET=$dir/db/mysqld.sock
FD_DB_USER=$db_user
FD_DB_PASSWORD=$db_password
FD_BACKUP_DB_USER=$backup_user
FD_BACKUP_DB_PASSWORD=$backup_password
FD_ADMIN_DB_USER=root
FD_ADMIN_DB_PASSWORD=
FD_ADMIN_PASSWORD=$admin_password
$(cluster_env)
ENV
}

client() { mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P"$db_port" -uroot "$@"; }

start_db() {
    local data=$dir/db/data fresh=0
    if alive "$dir/db/mysqld.pid" $(db_marks); then
        # A stack made before the accounts were limited loses its wider rights. One already limited
        # is left alone: the tests running on it have granted the program's account their own
        # databases, and the file's REVOKE would take those away under them.
        if grants_outdated client; then grant_accounts client; fi
        return 0
    fi
    mkdir -p "$dir/db"
    if [ ! -d "$data/mysql" ]; then
        rm -rf "$data"
        mariadb-install-db --no-defaults --user=root --datadir="$data" --auth-root-authentication-method=normal \
            --skip-test-db --innodb-log-file-size=8M >"$dir/db/install.log" 2>&1
        fresh=1
    fi
    /usr/sbin/mariadbd --no-defaults --user=root --datadir="$data" --bind-address=127.0.0.1 --port="$db_port" \
        --socket="$dir/db/mysqld.sock" --pid-file="$dir/db/mysqld.pid" --log-error="$dir/db/error.log" \
        --skip-log-bin --innodb-log-file-size=8M --innodb-buffer-pool-size=${FD_BUFFER_POOL:-128M} --character-set-server=gbk \
        --collation-server=gbk_chinese_ci --sql-mode=STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION \
        --max-connections=500 $(tls_server_args) </dev/null >/dev/null 2>&1 &
    local i
    for i in $(seq 1 300); do
        client -e 'select 1' >/dev/null 2>&1 && break
        sleep 0.1
    done
    client -e 'select 1' >/dev/null 2>&1 || { echo "the database did not start; see $dir/db/error.log" >&2; exit 1; }
    if [ "$fresh" = 1 ]; then
        load_database client
    else
        grant_accounts client
    fi
}

load_database() { # client command and its first arguments: the schema, the account, the sample fleet
    "$@" < "$root/db/schema.sql"
    # On standard input: passwords stay out of the process list.
    grant_accounts "$@"
    "$@" <<SQL
INSERT INTO yunsugongsi.mimabiao (yonghuming, mima) VALUES ('admin', '$admin_password');
SQL
    if [ "$vehicles" -gt 0 ]; then
        # A fleet of a demo's size gets a year of sample fees (the benchmarks make their own).
        local ledger=()
        [ "$vehicles" -le 1000 ] && ledger=(--ledger)
        "$py" "$here/samplefleet.py" "$vehicles" --pictures "$sample_pictures" "${ledger[@]}" |
            "$@" --default-character-set=utf8mb4 yunsugongsi
        draw_sample_pictures
        fleet_loaded=1
    fi
}

# Whether the accounts are missing or the program's account still has rights on every database.
grants_outdated() { # client command and its first arguments
    local program backup
    program=$("$@" -N -e "SHOW GRANTS FOR '$db_user'@'127.0.0.1'" 2>/dev/null) || return 0
    backup=$("$@" -N -e "SHOW GRANTS FOR '$backup_user'@'127.0.0.1'" 2>/dev/null) || return 0
    [ -z "$program" ] || [ -z "$backup" ] || grep -q "ALL PRIVILEGES ON \*\.\*" <<<"$program"
}

# The program's and the backup's accounts, with what db/grants.sql gives them (and nothing more:
# the file first takes away what an account had). Run when the stack is made, and at a start of a
# stack made before the accounts were limited. Tools that need more (the sample fleet's load) go as root.
grant_accounts() { # client command and its first arguments
    local host
    # On standard input: passwords stay out of the process list.
    for host in 127.0.0.1 localhost; do
        "$@" <<SQL
CREATE USER IF NOT EXISTS '$db_user'@'$host' IDENTIFIED BY '$db_password';
CREATE USER IF NOT EXISTS '$backup_user'@'$host' IDENTIFIED BY '$backup_password';
SQL
        sed -e "s/@database@/yunsugongsi/g" -e "s/@program@/'$db_user'@'$host'/g" \
            -e "s/@backup@/'$backup_user'@'$host'/g" "$root/db/grants.sql" | "$@"
    done
}

# The demo's reminders: on a sample fleet just loaded (of a demo's size: the tests' stacks are
# empty and the benchmarks' fleets large, both skip it), fleetdesk-remind runs once as the office's
# run of a few days ago, against the simulator. Its messages are in DIR/sms/messages.jsonl, its
# stages in the history of 车辆管理 → 自动提醒, and today's plan still holds the stages that fell
# due since, for the window (or a run from the shell) to send. The simulator takes the messages as
# fast as they come (--pace-ms 0); a run without it keeps one message a second.
# FLEETDESK_DEMO_REMINDERS=0 skips it; the program comes from FLEETDESK_BUILD_DIR (default build).
fleet_loaded=0
demo_reminder_days=3
demo_reminders() {
    local remind=${FLEETDESK_BUILD_DIR:-$root/build}/reminders/fleetdesk-remind log=$dir/remind-demo.log rc=0
    [ "$fleet_loaded" = 1 ] && [ "$vehicles" -le 1000 ] && [ "${FLEETDESK_DEMO_REMINDERS:-1}" != 0 ] || return 0
    if [ ! -x "$remind" ]; then
        echo "no $remind: the demo's reminders were not sent (build it, then run it with --today)" >&2
        return 0
    fi
    "$remind" --config "$dir/fleetdesk.ini" --today "$(date -d "$demo_reminder_days days ago" +%F)" --pace-ms 0 \
        >"$log" 2>&1 || rc=$?
    echo "reminders of $demo_reminder_days days ago sent to the SMS simulator (exit status $rc): $(tail -n 1 "$log" | head -c 300); report in $log"
}

# The document pictures the first sample vehicles name, so that the demo shows thumbnails at once.
sample_pictures=2
draw_sample_pictures() {
    local font=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc name kind n=0
    local colours=(lightsteelblue khaki lightpink palegreen wheat plum lightcyan bisque thistle honeydew)
    mkdir -p "$dir/pic"
    "$py" "$here/samplefleet.py" --list-pictures "$sample_pictures" | while IFS=$'\t' read -r name kind; do
        convert -size 400x600 "xc:${colours[$((n % 10))]}" -fill black -font "$font" -pointsize 48 \
            -gravity center -annotate 0 "$kind\n${name%%"$kind"*}" -quality 75 "$dir/pic/$name" 2>/dev/null ||
            echo "could not draw the sample picture $name" >&2
        n=$((n + 1))
    done
}

start_ftp() {
    if alive "$dir/ftp.pid" $(ftp_marks); then return 0; fi
    # The password travels in a file of the owner's, not on the command line.
    printf '%s\n' "$ftp_password" | write_private "$dir/ftp.secret"
    "$py" "$here/ftpserver.py" --directory "$dir/pic" --port "$ftp_port" --passive "$pasv_lo-$pasv_hi" \
        --user "$ftp_user" --password-file "$dir/ftp.secret" >"$dir/ftp.log" 2>&1 &
    echo $! > "$dir/ftp.pid"
}

start_web() {
    if alive "$dir/web.pid" $(web_marks); then return 0; fi
    "$py" "$here/webserver.py" --port "$web_port" --directory "$dir/pic" >"$dir/web.log" 2>&1 &
    echo $! > "$dir/web.pid"
}

start_sms() {
    if alive "$dir/sms.pid" $(sms_marks); then return 0; fi
    mkdir -p "$dir/sms"
    "$py" "$here/smssim.py" --port "$sms_port" --log "$dir/sms/messages.jsonl" --account "$sms_account" \
        >"$dir/sms/sms.log" 2>&1 &
    echo $! > "$dir/sms.pid"
}

wait_port() { # port
    local i
    for i in $(seq 1 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "nothing answers on port $1" >&2
    return 1
}

# ---- TLS: a private CA and one server certificate for 127.0.0.1, made once per stack folder ----

make_certificates() {
    [ "$tls" = 1 ] || return 0
    local t=$dir/tls
    [ -f "$t/server.pem" ] && [ -f "$t/ca.pem" ] && { make_node_certificate; return 0; }
    mkdir -p "$t"
    openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=fleetdesk local CA" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -keyout "$t/ca-key.pem" -out "$t/ca.pem" >"$t/openssl.log" 2>&1
    openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$t/server-key.pem" \
        -out "$t/server.csr" >>"$t/openssl.log" 2>&1
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' \
        > "$t/server.ext"
    openssl x509 -req -in "$t/server.csr" -CA "$t/ca.pem" -CAkey "$t/ca-key.pem" -CAcreateserial -days 3650 \
        -extfile "$t/server.ext" -out "$t/server.pem" >>"$t/openssl.log" 2>&1
    chmod 600 "$t/ca-key.pem"
    chmod 640 "$t/server-key.pem"
    # Cluster nodes run as the mysql user and must read the key.
    chgrp mysql "$t/server-key.pem" 2>/dev/null || true
    make_node_certificate
}

# The certificate the cluster nodes show one another (replication, state transfers): each node is
# server and client there, so it carries both uses. Signed by the same CA, for 127.0.0.1.
make_node_certificate() {
    local t=$dir/tls
    [ -f "$t/node.pem" ] && return 0
    openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" -keyout "$t/node-key.pem" \
        -out "$t/node.csr" >>"$t/openssl.log" 2>&1
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth,clientAuth\n' \
        > "$t/node.ext"
    openssl x509 -req -in "$t/node.csr" -CA "$t/ca.pem" -CAkey "$t/ca-key.pem" -CAcreateserial -days 3650 \
        -extfile "$t/node.ext" -out "$t/node.pem" >>"$t/openssl.log" 2>&1
    chmod 640 "$t/node-key.pem"
    chgrp mysql "$t/node-key.pem" 2>/dev/null || true
}

tls_server_args() {
    [ "$tls" = 1 ] || return 0
    echo "--ssl-ca=$dir/tls/ca.pem --ssl-cert=$dir/tls/server.pem --ssl-key=$dir/tls/server-key.pem"
}

tls_settings() {
    # Required only of a server that has it: one started earlier without TLS keeps working.
    local have
    have=$(mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P"$db_port" -uroot -N -e 'SELECT @@have_ssl' 2>/dev/null || true)
    if [ "$tls" = 1 ] && [ "$have" = YES ]; then
        printf 'dbTlsRequired=1\ndbTlsCaFile=%s\ndbTlsVerifyServer=1\n' "$dir/tls/ca.pem"
    else
        printf 'dbTlsRequired=0\n'
    fi
}

# ---- Cluster: three mariadbd with Galera on 127.0.0.1 --------------------------------------------
# From BASE: FTP +1, web +2 as for one database; node N (1-3) serves clients on BASE+30+N, talks
# Galera on BASE+40+N, receives a full state transfer (rsync) on BASE+50+N and an incremental one
# on BASE+60+N. The nodes run as the mysql user: the rsync transfer drops its rights.

cluster_ports() { # base
    node_port=() galera_port=() sst_port=() ist_port=()
    local n
    for n in 1 2 3; do
        node_port[$n]=$(($1 + 30 + n))
        galera_port[$n]=$(($1 + 40 + n))
        sst_port[$n]=$(($1 + 50 + n))
        ist_port[$n]=$(($1 + 60 + n))
    done
    db_hosts="127.0.0.1:${node_port[1]},127.0.0.1:${node_port[2]},127.0.0.1:${node_port[3]}"
    db_port=${node_port[1]}
}

cluster_env() {
    [ -n "${db_hosts:-}" ] || return 0
    printf 'FD_CLUSTER_PORTS="%s %s %s"\n' "${node_port[1]}" "${node_port[2]}" "${node_port[3]}"
}

node_client() { # N, client args...
    local n=$1
    shift
    mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P"${node_port[$n]}" -uroot "$@"
}

node_state() { # N -> wsrep_local_state_comment, or nothing while the node does not answer
    node_client "$1" -N -e "SHOW STATUS LIKE 'wsrep_local_state_comment'" 2>/dev/null | awk '{print $2}'
}

start_node() { # N bootstrap|join
    local n=$1 mode=$2 b=$dir/n$1 fresh=0 i
    if alive "$b/m.pid" $(node_marks "$n"); then return 0; fi
    mkdir -p "$b"
    chown mysql:mysql "$b"
    if [ ! -d "$b/data/mysql" ] && [ "$mode" = bootstrap ]; then
        rm -rf "$b/data"
        mariadb-install-db --no-defaults --user=mysql --datadir="$b/data" --auth-root-authentication-method=normal \
            --skip-test-db --innodb-log-file-size=8M >"$b/install.log" 2>&1
        fresh=1
    fi
    # A joining node receives the whole data folder by rsync: it starts empty.
    mkdir -p "$b/data"
    chown mysql:mysql "$b/data"
    local flags=()
    if [ "$mode" = bootstrap ]; then
        flags+=(--wsrep-new-cluster)
        # The whole cluster was stopped: this node (stopped last) starts it again.
        [ -f "$b/data/grastate.dat" ] && sed -i 's/^safe_to_bootstrap: 0/safe_to_bootstrap: 1/' "$b/data/grastate.dat"
    fi
    local members="127.0.0.1:${galera_port[1]},127.0.0.1:${galera_port[2]},127.0.0.1:${galera_port[3]}"
    # The state transfer script reads its TLS settings from the [sst] group of the server's
    # defaults file; the server itself reads nothing else from it.
    node_defaults > "$b/node.cnf"
    /usr/sbin/mariadbd --defaults-file="$b/node.cnf" --user=mysql --datadir="$b/data" --bind-address=127.0.0.1 \
        --port="${node_port[$n]}" --socket="$b/s.sock" --pid-file="$b/m.pid" --log-error="$b/error.log" \
        --innodb-log-file-size=8M --innodb-buffer-pool-size=128M --character-set-server=gbk \
        --collation-server=gbk_chinese_ci --sql-mode=STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION \
        --max-connections=500 $(tls_server_args) \
        --binlog-format=ROW --default-storage-engine=InnoDB --innodb-autoinc-lock-mode=2 \
        --innodb-flush-log-at-trx-commit=2 \
        --wsrep-on=ON --wsrep-provider=/usr/lib/galera/libgalera_smm.so --wsrep-cluster-name=fleetdesk \
        --wsrep-cluster-address="gcomm://$members" --wsrep-node-address="127.0.0.1:${galera_port[$n]}" \
        --wsrep-node-name="node$n" --wsrep-sst-method=rsync --wsrep-sst-receive-address="127.0.0.1:${sst_port[$n]}" \
        --wsrep-provider-options="gmcast.listen_addr=tcp://127.0.0.1:${galera_port[$n]};ist.recv_addr=127.0.0.1:${ist_port[$n]};gcache.size=32M;evs.suspect_timeout=PT3S;evs.inactive_timeout=PT6S$(galera_tls_options)" \
        "${flags[@]}" </dev/null >/dev/null 2>&1 &
    for i in $(seq 1 600); do
        [ "$(node_state "$n")" = Synced ] && break
        sleep 0.1
    done
    [ "$(node_state "$n")" = Synced ] || { echo "node $n did not join; see $b/error.log" >&2; exit 1; }
    if [ "$fresh" = 1 ] && [ "$mode" = bootstrap ]; then
        load_database node_client "$n"
    elif [ "$mode" = bootstrap ]; then
        grant_accounts node_client "$n"
    fi
}

# Replication between the nodes and both kinds of state transfer are encrypted with the stack's
# CA: Galera's own TLS (socket.ssl_*) carries the write sets and the incremental transfers, and
# the rsync full transfer goes through stunnel, each side checking that the other's certificate
# comes from the CA and names the address it talks to. FLEETDESK_TLS=0 leaves all of it in clear.
galera_tls_options() {
    [ "$tls" = 1 ] || return 0
    printf ';socket.ssl=yes;socket.ssl_cert=%s;socket.ssl_key=%s;socket.ssl_ca=%s' \
        "$dir/tls/node.pem" "$dir/tls/node-key.pem" "$dir/tls/ca.pem"
}

node_defaults() {
    echo "[sst]"
    if [ "$tls" = 1 ]; then
        printf 'ssl-mode=VERIFY_CA\ntca=%s\ntcert=%s\ntkey=%s\n' \
            "$dir/tls/ca.pem" "$dir/tls/node.pem" "$dir/tls/node-key.pem"
    fi
}

start_cluster() {
    local base_arg=$base
    [ -f "$dir/cluster.base" ] && base_arg=$(cat "$dir/cluster.base")
    echo "$base_arg" > "$dir/cluster.base"
    cluster_ports "$base_arg"
    if alive "$dir/n1/m.pid" $(node_marks 1) || alive "$dir/n2/m.pid" $(node_marks 2) ||
        alive "$dir/n3/m.pid" $(node_marks 3); then
        local n
        for n in 1 2 3; do start_node "$n" join; done
        return 0
    fi
    start_node 1 bootstrap
    start_node 2 join
    start_node 3 join
}

stop_node() { # N
    stop_pid "$dir/n$1/m.pid" $(node_marks "$1")
}

stop_cluster() {
    # The last node stopped holds the newest state and starts the cluster again.
    local n
    for n in 3 2 1; do stop_node "$n"; done
}

# ---- A database without TLS, which a client requiring TLS must refuse --------------------------

start_plain_db() { # port
    local port=$1 b=$dir/plain i
    if alive "$b/mysqld.pid" $(plain_marks); then return 0; fi
    mkdir -p "$b"
    if [ ! -d "$b/data/mysql" ]; then
        mariadb-install-db --no-defaults --user=root --datadir="$b/data" --auth-root-authentication-method=normal \
            --skip-test-db --innodb-log-file-size=8M >"$b/install.log" 2>&1
    fi
    /usr/sbin/mariadbd --no-defaults --user=root --datadir="$b/data" --bind-address=127.0.0.1 --port="$port" \
        --socket="$b/mysqld.sock" --pid-file="$b/mysqld.pid" --log-error="$b/error.log" --skip-log-bin \
        --innodb-log-file-size=8M --innodb-buffer-pool-size=16M --skip-ssl </dev/null >/dev/null 2>&1 &
    for i in $(seq 1 300); do
        mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P"$port" -uroot -e 'select 1' >/dev/null 2>&1 && break
        sleep 0.1
    done
    grant_accounts mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P"$port" -uroot ||
        { echo "the plain database did not start; see $b/error.log" >&2; exit 1; }
    echo "database without TLS on $port"
}

# The FTP, web and SMS servers beside the database(s): refused before anything starts when one of
# their ports is held (a server that cannot bind would leave the stack half up, and a foreign server
# answering on the port would pass for ours), then started, then waited for.
refuse_held_servers() {
    alive "$dir/ftp.pid" $(ftp_marks) || refuse_held "$ftp_port" FTP
    alive "$dir/web.pid" $(web_marks) || refuse_held "$web_port" web
    alive "$dir/sms.pid" $(sms_marks) || refuse_held "$sms_port" SMS
}
start_servers() {
    start_ftp
    start_web
    start_sms
    wait_port "$ftp_port"
    wait_port "$web_port"
    wait_port "$sms_port"
}

case "$cmd" in
start)
    mkdir -p "$dir/pic"
    dir=$(cd "$dir" && pwd)
    alive "$dir/db/mysqld.pid" $(db_marks) || refuse_held "$db_port" database
    refuse_held_servers
    make_certificates
    start_db
    start_servers
    write_settings
    demo_reminders
    echo "stack running in $dir (database $db_port, FTP $ftp_port, web $web_port, SMS $sms_port)"
    ;;
cluster)
    mkdir -p "$dir/pic"
    dir=$(cd "$dir" && pwd)
    refuse_held_servers
    make_certificates
    start_cluster
    start_servers
    write_settings
    echo "cluster running in $dir (nodes $db_hosts, FTP $ftp_port, web $web_port, SMS $sms_port)"
    ;;
node-stop)
    stop_node "$3"
    ;;
node-start)
    cluster_ports "$(cat "$dir/cluster.base")"
    start_node "$3" join
    ;;
plain)
    start_plain_db "$3"
    ;;
stop)
    stop_pid "$dir/sms.pid" $(sms_marks)
    stop_pid "$dir/web.pid" $(web_marks)
    stop_pid "$dir/ftp.pid" $(ftp_marks)
    stop_pid "$dir/db/mysqld.pid" $(db_marks)
    stop_cluster
    stop_pid "$dir/plain/mysqld.pid" $(plain_marks)
    echo "stack in $dir stopped"
    ;;
*)
    echo "usage: $0 start|cluster|node-stop|node-start|plain|stop DIR [BASE_PORT|N] [VEHICLES]" >&2
    exit 2
    ;;
esac
