#!/usr/bin/env bash
# The local stack on 127.0.0.1: a private MariaDB loaded with the schema, a sample fleet and the
# user "admin", an FTP server and a web server over one picture folder, and the settings file that
# points the program at them. Everything is started and stopped by process id.
#
#   tools/stack.sh start DIR [BASE_PORT] [VEHICLES]   (database BASE, FTP BASE+1, web BASE+2)
#   tools/stack.sh stop DIR
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
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR [BASE_PORT] [VEHICLES]" >&2; exit 2; }
# One folder, one stack, whichever way it is named.
if [ -d "$dir" ]; then dir=$(cd "$dir" && pwd); fi
base=${3:-3310}
vehicles=${4:-300}
py=/usr/bin/python3

db_port=$base
ftp_port=$((base + 1))
web_port=$((base + 2))
pasv_lo=$((base + 10))
pasv_hi=$((base + 29))

# Deployment values of the demo and test stacks.
key_a=31415926535
key_b=27182818284
mask=90
db_user=fleetdesk
db_password=fleetdesk-2016
ftp_user=ftpuser
ftp_password=ftppass
admin_password=123456

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
web_marks() { echo "http.server --directory $dir/pic"; }

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
dbHost=$(encipher 127.0.0.1 $key_a)
dbUser=$(encipher $db_user $key_b)
dbPassword=$(encipher $db_password $key_b)
ftpUser=$(encipher $ftp_user $key_a)
ftpPassword=$(encipher $ftp_password $key_a)
settingKeyA=$key_a
settingKeyB=$key_b
xorMask=$mask
serverAddress=127.0.0.1
supportContact=QQ 800012345 手机 13800138000
dbPort=$db_port
ftpPort=$ftp_port
webPort=$web_port
connectivityUrl=http://127.0.0.1:$web_port/
smsUrlTemplate=
httpConnectTimeoutSeconds=3
httpTotalTimeoutSeconds=30
INI
    write_private "$dir/stack.env" <<ENV
FLEETDESK_CONFIG=$ini
FD_DB_PORT=$db_port
FD_FTP_PORT=$ftp_port
FD_WEB_PORT=$web_port
FD_PIC_DIR=$dir/pic
FD_DB_SOCKET=$dir/db/mysqld.sock
FD_DB_USER=$db_user
FD_DB_PASSWORD=$db_password
FD_ADMIN_PASSWORD=$admin_password
ENV
}

client() { mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P"$db_port" -uroot "$@"; }

start_db() {
    local data=$dir/db/data fresh=0
    if alive "$dir/db/mysqld.pid" $(db_marks); then return 0; fi
    mkdir -p "$dir/db"
    if [ ! -d "$data/mysql" ]; then
        rm -rf "$data"
        mariadb-install-db --no-defaults --user=root --datadir="$data" --auth-root-authentication-method=normal \
            --skip-test-db --innodb-log-file-size=8M >"$dir/db/install.log" 2>&1
        fresh=1
    fi
    /usr/sbin/mariadbd --no-defaults --user=root --datadir="$data" --bind-address=127.0.0.1 --port="$db_port" \
        --socket="$dir/db/mysqld.sock" --pid-file="$dir/db/mysqld.pid" --log-error="$dir/db/error.log" \
        --skip-log-bin --innodb-log-file-size=8M --innodb-buffer-pool-size=128M --character-set-server=gbk \
        --collation-server=gbk_chinese_ci --sql-mode=STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION \
        --max-connections=500 </dev/null >/dev/null 2>&1 &
    local i
    for i in $(seq 1 300); do
        client -e 'select 1' >/dev/null 2>&1 && break
        sleep 0.1
    done
    client -e 'select 1' >/dev/null 2>&1 || { echo "the database did not start; see $dir/db/error.log" >&2; exit 1; }
    if [ "$fresh" = 1 ]; then
        client < "$root/db/schema.sql"
        # On standard input: passwords stay out of the process list.
        client <<SQL
CREATE USER IF NOT EXISTS '$db_user'@'127.0.0.1' IDENTIFIED BY '$db_password';
CREATE USER IF NOT EXISTS '$db_user'@'localhost' IDENTIFIED BY '$db_password';
GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'localhost' WITH GRANT OPTION;
INSERT INTO yunsugongsi.mimabiao (yonghuming, mima) VALUES ('admin', '$admin_password');
SQL
        if [ "$vehicles" -gt 0 ]; then
            "$py" "$here/samplefleet.py" "$vehicles" | client --default-character-set=utf8mb4 yunsugongsi
        fi
    fi
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
    "$py" -m http.server "$web_port" --bind 127.0.0.1 --directory "$dir/pic" >"$dir/web.log" 2>&1 &
    echo $! > "$dir/web.pid"
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

case "$cmd" in
start)
    mkdir -p "$dir/pic"
    dir=$(cd "$dir" && pwd)
    # Refuse before anything starts: a server that cannot bind would leave the stack half up, and
    # a foreign server answering on the port would pass for ours.
    alive "$dir/db/mysqld.pid" $(db_marks) || refuse_held "$db_port" database
    alive "$dir/ftp.pid" $(ftp_marks) || refuse_held "$ftp_port" FTP
    alive "$dir/web.pid" $(web_marks) || refuse_held "$web_port" web
    start_db
    start_ftp
    start_web
    wait_port "$ftp_port"
    wait_port "$web_port"
    write_settings
    echo "stack running in $dir (database $db_port, FTP $ftp_port, web $web_port)"
    ;;
stop)
    stop_pid "$dir/web.pid" $(web_marks)
    stop_pid "$dir/ftp.pid" $(ftp_marks)
    stop_pid "$dir/db/mysqld.pid" $(db_marks)
    echo "stack in $dir stopped"
    ;;
*)
    echo "usage: $0 start|stop DIR [BASE_PORT] [VEHICLES]" >&2
    exit 2
    ;;
esac
