#!/usr/bin/env bash
# Installs what is needed, builds, starts the local stack (database with a sample fleet, FTP and
# web server) and opens fleetdesk against it. Without a display the program runs under Xvfb: the
# login is confirmed with its default account, and a screenshot of the main window is saved.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_BUILD_DIR:-$root/build}
stack=${FLEETDESK_STACK_DIR:-/tmp/fd-demo}
vehicles=${FLEETDESK_VEHICLES:-300}

"$root/tools/install-deps.sh"
"$root/tools/build.sh"
# FLEETDESK_CLUSTER=1: the program on a three-node cluster instead of one database.
if [ "${FLEETDESK_CLUSTER:-0}" = 1 ]; then
  "$root/tools/stack.sh" cluster "$stack" "${FLEETDESK_DEMO_PORT:-3310}" "$vehicles"
else
  "$root/tools/stack.sh" start "$stack" "${FLEETDESK_DEMO_PORT:-3310}" "$vehicles"
fi
export FLEETDESK_CONFIG=$stack/fleetdesk.ini
echo "stop the local stack with: tools/stack.sh stop $stack"
echo "SMS platform simulator: account demo, password demo123; messages received: $stack/sms/messages.jsonl"
# Today's reminders of the demo fleet, planned and not sent: 车辆管理 → 自动提醒 sends them, or
# $build/reminders/fleetdesk-remind without --dry-run.
"$build/reminders/fleetdesk-remind" --dry-run | tail -n 3 || true

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$build/app/fleetdesk"
fi

# No display: a virtual one, and a picture of what the program shows.
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}
chmod 700 "$XDG_RUNTIME_DIR"
display=${FLEETDESK_DEMO_DISPLAY:-:57}
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "${app:-}" "$xvfb" 2>/dev/null || true' EXIT
for i in $(seq 1 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.05; done
export DISPLAY=$display
"$build/app/fleetdesk" &
app=$!
# Wait for the login window, then press Enter: its focus is on 登录.
for i in $(seq 1 100); do
  xdotool search --name '路衡通' >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
xdotool key Return || true
sleep 3
shot=$stack/fleetdesk-main-window.png
import -display "$display" -window root "$shot"
echo "no display: the main window was drawn under Xvfb; screenshot: $shot"
