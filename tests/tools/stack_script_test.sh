#!/usr/bin/env bash
# tools/stack.sh against the running test stack and a few stand-ins: a port another program holds
# is refused before anything starts; stop leaves alone a process that is not the stack's own; the
# FTP password shows in no process list; files with passwords are the owner's alone, also after a
# second start over a file with wider rights; stop ends every server of its stack.
set -uo pipefail
src=${FD_SOURCE_DIR:?}
stack=${FD_STACK_DIR:?}
base=${FD_TEST_PORT:?}
py=/usr/bin/python3
work=$(mktemp -d /tmp/fd-st-XXXXXX)
pids=()
cleanup() {
  local p
  # A script that failed to refuse has started servers: they go too.
  [ -e "$work/held/db" ] && "$src/tools/stack.sh" stop "$work/held" >/dev/null 2>&1
  [ -e "$work/whole" ] && "$src/tools/stack.sh" stop "$work/whole" >/dev/null 2>&1
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
fail=0
check() { # description, command...
  local what=$1
  shift
  if ! "$@"; then echo "FAIL: $what"; fail=1; fi
}
mode() { stat -c %a "$1"; }
none_running() { ! pgrep -f -- "$1" >/dev/null; } # no process names the folder

# 1. A held port: the FTP port of a stack at base+70 (its ports stay in the block of the test
# stack) answers for another program.
other_base=$((base + 70))
"$py" -c 'import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(); print("ready", flush=True); time.sleep(120)' \
  $((other_base + 1)) > "$work/holder.out" &
pids+=($!)
for _ in $(seq 1 100); do grep -q ready "$work/holder.out" 2>/dev/null && break; sleep 0.05; done
rc=0
"$src/tools/stack.sh" start "$work/held" "$other_base" 0 > "$work/held.out" 2>&1 || rc=$?
check "a held port is refused (exit $rc)" test "$rc" != 0
check "the refusal names the port and its holder: $(cat "$work/held.out")" \
  grep -q "port $((other_base + 1)) (FTP) is held by another program (pid ${pids[0]}:" "$work/held.out"
check "nothing was started for the refused stack" test ! -e "$work/held/db"

# 2. Pid files that name processes which are not the stack's servers (a reused pid).
mkdir -p "$work/foreign/db"
sleep 120 &
pids+=($!)
for f in web.pid ftp.pid db/mysqld.pid; do echo "${pids[1]}" > "$work/foreign/$f"; done
"$src/tools/stack.sh" stop "$work/foreign" > "$work/foreign.out" 2>&1
check "stop leaves a foreign process alone" kill -0 "${pids[1]}"
check "stop says why it left it" grep -q "no longer this stack's server" "$work/foreign.out"

# 3. The FTP password: in a file of the owner's, in no command line, and the server takes it.
secret=$stack/ftp.secret
check "the FTP password file exists" test -s "$secret"
# (Other checkouts' stacks on this machine are not this one's business: only the FTP server of this
# stack is looked at.)
check "the FTP server runs" kill -0 "$(cat "$stack/ftp.pid")"
check "the FTP server's command line does not show its password" \
  bash -c '! tr "\0" "\n" < "/proc/$1/cmdline" | grep -qxF -f "$2"' _ "$(cat "$stack/ftp.pid")" "$secret"
check "the FTP server accepts the password from the file" "$py" - "$stack" <<'PY'
import ftplib, re, sys
stack = sys.argv[1]
env = dict(l.rstrip("\n").split("=", 1) for l in open(stack + "/stack.env") if "=" in l)
with ftplib.FTP() as f:
    f.connect("127.0.0.1", int(env["FD_FTP_PORT"]), timeout=10)
    f.login("ftpuser", open(stack + "/ftp.secret").read().rstrip("\n"))
PY

# 4. Modes: 0600, and a wider file is narrowed by the next write.
for f in fleetdesk.ini stack.env ftp.secret; do
  check "$f is the owner's alone (mode $(mode "$stack/$f"))" test "$(mode "$stack/$f")" = 600
done
chmod 644 "$stack/fleetdesk.ini" "$stack/stack.env"
"$src/tools/stack.sh" start "$stack" "$base" 0 > "$work/again.out" 2>&1 || { echo "FAIL: second start"; cat "$work/again.out"; fail=1; }
for f in fleetdesk.ini stack.env; do
  check "$f is narrowed on the next write (mode $(mode "$stack/$f"))" test "$(mode "$stack/$f")" = 600
done

# 5. Stop, given the folder alone, ends every server that start began there.
whole=$work/whole
if "$src/tools/stack.sh" start "$whole" $((base + 80)) 0 > "$work/whole.out" 2>&1; then
  "$src/tools/stack.sh" stop "$whole" > "$work/whole-stop.out" 2>&1
  check "stop ends every server of the stack: $(pgrep -af -- "$whole" | tr '\n' ';')" none_running "$whole"
else
  echo "FAIL: a stack of its own did not start"; cat "$work/whole.out"; fail=1
fi

[ "$fail" = 0 ] && echo "stack script: every case passed"
exit "$fail"
