#!/usr/bin/env bash
# tools/run.sh never reports a success it did not see: with a virtual display that never comes up,
# and with a program that ends at once, it exits non-zero, says why (with the program's own last
# words) and prints no success line. The script runs as a newcomer runs it (packages, build and a
# stack of its own, here an empty one in the test stack's block of ports); only the display server
# and the program are stand-ins.
set -uo pipefail
src=${FD_SOURCE_DIR:?}
build=${FD_BUILD_DIR:?}
base=${FD_TEST_PORT:?}
work=$(mktemp -d /tmp/fd-rs-XXXXXX)
stack=$work/stack
cleanup() {
  [ -e "$stack/db" ] && "$src/tools/stack.sh" stop "$stack" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
fail=0
check() { # description, command...
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; fail=1; fi
}

cat >"$work/never-up" <<'SH'
#!/bin/sh
# A display server that never answers.
exec sleep 120
SH
cat >"$work/dies" <<'SH'
#!/bin/sh
echo "qt.qpa.xcb: could not connect to display"
exit 3
SH
chmod +x "$work/never-up" "$work/dies"

run() { # output file, extra environment...
  local out=$1 rc=0
  shift
  env -u DISPLAY FLEETDESK_BUILD_DIR="$build" FLEETDESK_STACK_DIR="$stack" FLEETDESK_DEMO_PORT=$((base + 40)) \
    FLEETDESK_VEHICLES=0 FLEETDESK_TLS=0 FLEETDESK_DEMO_REMINDERS=0 FLEETDESK_WINDOW_WAIT=20 "$@" \
    bash "$src/tools/run.sh" >"$out" 2>&1 || rc=$?
  echo "$rc"
}
no_success() { ! grep -q "main window showed" "$1"; }

rc=$(run "$work/display.out" FLEETDESK_XVFB="$work/never-up" FLEETDESK_DISPLAY_WAIT=2 FLEETDESK_PROGRAM="$work/dies")
check "a display that never answers ends the run non-zero (exit $rc)" test "$rc" != 0
check "it says the display did not answer" grep -q "virtual display .*did not answer within 2 s" "$work/display.out"
check "and no success" no_success "$work/display.out"
not_started() { ! grep -q "could not connect" "$1"; }
check "the program was not started without a display" not_started "$work/display.out"

rc=$(run "$work/dies.out" FLEETDESK_PROGRAM="$work/dies")
check "a program that ends at once ends the run non-zero (exit $rc)" test "$rc" != 0
check "it says the program ended, with its exit status" grep -q "the program ended (before login window showed; exit status 3)" "$work/dies.out"
check "it shows the program's last output" grep -q "could not connect to display" "$work/dies.out"
check "and no success" no_success "$work/dies.out"

if [ "$fail" != 0 ]; then
  for f in display dies; do echo "--- run.sh ($f)"; cat "$work/$f.out"; done
fi
exit "$fail"
