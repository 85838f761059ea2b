#!/usr/bin/env bash
# The local stack on 127.0.0.1: a private MariaDB loaded with the schema, a sample fleet and the
# user "admin", an FTP server and a web server over one picture folder, the SMS platform simulator
# (tools/smssim.py, account "demo" / "demo123" with 1000 messages; what it receives is logged in
# DIR/sms/messages.jsonl), and the settings file that points the program at them. Everything is
# started and stopped by process id.
#
#   tools/stack.sh start DIR [BASE_PORT] [VEHICLES]   (database BASE, FTP BASE+1, web BASE+2, SMS BASE+3)
#   tools/stack.sh stop DIR
#
# DIR must be short (the server socket lives in it). A second start on a running stack only
# rewrites the settings file.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cmd=${1:-}
dir=${2:-}
[ -n "$cmd" ] && [ -n "$dir" ] || { echo "usage: $0 start|stop DIR [BASE_PORT] [VEHICLES]" >&2; exit 2; }
base=${3:-3310}
vehicles=${4:-300}
py=/usr/bin/python3

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
ftp_user=ftpuser
ftp_password=ftppass
admin_password=123456
sms_account=demo:demo123:1000
# The six pieces: send (before user, password, phone, message), balance (before user, password).
sms_template="http://127.0.0.1:$sms_port/sms/send?uid=@#\$%&pwd=@#\$%&mobile=@#\$%&content=@#\$%http://127.0.0.1:$sms_port/sms/balance?uid=@#\$%&pwd="

alive() { # pid file -> running?
    local f=$1 pid state
    [ -f "$f" ] || return 1
    pid=$(cat "$f" 2>/dev/null) || return 1
    [ -n "$pid" ] && [ -r "/proc/$pid/status" ] || return 1
    state=$(awk '/^State:/{print $2}' "/proc/$pid/status")
    [ "$state" != "Z" ] && [ "$state" != "X" ]
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

stop_pid() { # pid file
    local f=$1 pid
    if alive "$f"; then
        pid=$(cat "$f")
        kill -TERM "$pid" 2>/dev/null || true
        wait_gone "$pid"
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
    cat > "$ini.tmp" <<INI
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
smsUrlTemplate=$sms_template
httpConnectTimeoutSeconds=3
httpTotalTimeoutSeconds=30
INI
    mv "$ini.tmp" "$ini"
    cat > "$dir/stack.env" <<ENV
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
FD_ADMIN_PASSWORD=$admin_password
ENV
}

client() { mariadb --no-defaults --protocol=TCP -h127.0.0.1 -P"$db_port" -uroot "$@"; }

start_db() {
    local data=$dir/db/data fresh=0
    if alive "$dir/db/mysqld.pid"; then return 0; fi
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
        client -e "CREATE USER IF NOT EXISTS '$db_user'@'127.0.0.1' IDENTIFIED BY '$db_password';
                   CREATE USER IF NOT EXISTS '$db_user'@'localhost' IDENTIFIED BY '$db_password';
                   GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'127.0.0.1' WITH GRANT OPTION;
                   GRANT ALL PRIVILEGES ON *.* TO '$db_user'@'localhost' WITH GRANT OPTION;
                   INSERT INTO yunsugongsi.mimabiao (yonghuming, mima) VALUES ('admin', '$admin_password');"
        if [ "$vehicles" -gt 0 ]; then
            "$py" "$here/samplefleet.py" "$vehicles" | client --default-character-set=utf8mb4 yunsugongsi
        fi
    fi
}

start_ftp() {
    if alive "$dir/ftp.pid"; then return 0; fi
    "$py" -m pyftpdlib -i 127.0.0.1 -p "$ftp_port" -u "$ftp_user" -P "$ftp_password" -w -d "$dir/pic" \
        -r "$pasv_lo-$pasv_hi" >"$dir/ftp.log" 2>&1 &
    echo $! > "$dir/ftp.pid"
}

start_web() {
    if alive "$dir/web.pid"; then return 0; fi
    "$py" -m http.server "$web_port" --bind 127.0.0.1 --directory "$dir/pic" >"$dir/web.log" 2>&1 &
    echo $! > "$dir/web.pid"
}

start_sms() {
    if alive "$dir/sms.pid"; then return 0; fi
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

case "$cmd" in
start)
    mkdir -p "$dir/pic"
    start_db
    start_ftp
    start_web
    start_sms
    wait_port "$ftp_port"
    wait_port "$web_port"
    wait_port "$sms_port"
    write_settings
    echo "stack running in $dir (database $db_port, FTP $ftp_port, web $web_port, SMS $sms_port)"
    ;;
stop)
    stop_pid "$dir/sms.pid"
    stop_pid "$dir/web.pid"
    stop_pid "$dir/ftp.pid"
    stop_pid "$dir/db/mysqld.pid"
    echo "stack in $dir stopped"
    ;;
*)
    echo "usage: $0 start|stop DIR [BASE_PORT] [VEHICLES]" >&2
    exit 2
    ;;
esac
