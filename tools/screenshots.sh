#!/usr/bin/env bash
# Makes the manual's pictures from the real program: starts a local stack of its own with a sample
# fleet, a virtual display of 1366x768 and the built fleetdesk against them, drives the program
# with xdotool as a clerk would and saves each window as a PNG in help/images/. Everything it
# started is stopped when it ends, whichever way it ends.
#
#   tools/screenshots.sh [OUT_DIR]
#
# FLEETDESK_BUILD_DIR (default build), FLEETDESK_SHOTS_PORT (first of the stack's four ports,
# default 3760), FLEETDESK_SHOTS_DISPLAY (default :58); the stack lives in /tmp/fd-shots-PORT.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${FLEETDESK_BUILD_DIR:-$root/build}
out=${1:-$root/help/images}
port=${FLEETDESK_SHOTS_PORT:-3760}
display=${FLEETDESK_SHOTS_DISPLAY:-:58}
stack=/tmp/fd-shots-$port
title=路衡通
mkdir -p "$out"

FLEETDESK_BUILD_DIR=$build "$root/tools/build.sh" fleetdesk fleetdesk-remind
app= xvfb= stack_started=
cleanup() {
    set +e
    if [ -n "$app" ]; then kill "$app" 2>/dev/null; wait "$app" 2>/dev/null; fi
    if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; fi
    if [ -n "$stack_started" ]; then "$root/tools/stack.sh" stop "$stack" >/dev/null; fi
}
trap cleanup EXIT
trap 'exit 1' INT TERM

stack_started=1
FLEETDESK_BUILD_DIR=$build "$root/tools/stack.sh" start "$stack" "$port" 300 >/dev/null

export XDG_RUNTIME_DIR=$stack/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
if xdpyinfo -display "$display" >/dev/null 2>&1; then
    echo "display $display is in use: choose another with FLEETDESK_SHOTS_DISPLAY" >&2
    exit 1
fi
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
up=0
for _ in $(seq 1 300); do
    xdpyinfo -display "$display" >/dev/null 2>&1 && { up=1; break; }
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.1
done
[ $up = 1 ] || { echo "the virtual display $display did not come up within 30 s" >&2; exit 1; }
export DISPLAY=$display
export FLEETDESK_CONFIG=$stack/fleetdesk.ini
# UTF-8 whatever this machine's locale (the program's own texts and dialogs are Chinese in any).
export LC_ALL=C.UTF-8

# The program's visible top-level windows with a given caption (all of its windows but the print
# preview, 自动提醒 and the help carry the program's name).
windows() { xdotool search --onlyvisible --name "${1:-$title}" 2>/dev/null | sort || true; }
# Ends the script when the program has ended, with its last output.
still_running() {
    if [ -z "$app" ] || ! kill -0 "$app" 2>/dev/null || grep -q '^State:.*Z' "/proc/$app/status" 2>/dev/null; then
        echo "fleetdesk ended while the pictures were made; its last output:" >&2
        tail -n 20 "$stack/fleetdesk.log" >&2
        exit 1
    fi
}
# Waits for a window with the caption that is not among the ones given, and prints it.
new_window() {
    local name=$1 before=$2 w
    for _ in $(seq 1 150); do
        still_running
        w=$(comm -13 <(printf '%s\n' "$before") <(windows "$name") | head -n 1)
        if [ -n "$w" ]; then
            sleep 1.5 # the window's first paint and what it loads at once
            echo "$w"
            return
        fi
        sleep 0.1
    done
    echo "no new window \"$name\" appeared" >&2
    exit 1
}
# Waits until the window is no longer shown.
gone() {
    for _ in $(seq 1 100); do
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1" || return 0
        sleep 0.1
    done
    echo "window $1 stayed open" >&2
    exit 1
}
# Saves one window as a PNG without metadata, in 256 colours (enough for the program's flat
# colours and its text): shot WINDOW NAME saves OUT/NAME.png, shot WINDOW /PATH.png saves there. A
# third argument is the widest the picture may be (the help window shows pictures at their size,
# and a smooth reduction here reads better than the browser's).
shot() {
    local file=$out/$2.png
    case $2 in /*) file=$2 ;; esac
    still_running
    import -display "$display" -window "$1" "$stack/shot.png"
    # A window's picture has the program's text and colours; a blank one a colour or two.
    if [ "$(convert "$stack/shot.png" -format %k info:)" -le 4 ]; then
        echo "the picture for $2 is blank" >&2
        exit 1
    fi
    convert "$stack/shot.png" -resize "${3:-100000}x>" -strip -colors 256 "PNG8:$file"
    echo "$file $(identify -format '%wx%h' "$file") $(stat -c %s "$file") bytes"
}
click() { xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"; sleep 0.3; }
dclick() { xdotool mousemove --window "$1" "$2" "$3" click --repeat 2 --delay 80 1; }
# Keys go to the focused window as real key presses (a key that closes a window would leave the
# release to a window that is gone if it were sent to the window itself).
key() {
    xdotool windowfocus --sync "$1" 2>/dev/null || true
    xdotool key "${@:2}"
    sleep 0.3
}

"$build/app/fleetdesk" >"$stack/fleetdesk.log" 2>&1 &
app=$!

# 登录: its boxes start with admin / 123456, the sample database's account, and the focus is on 登录.
login=$(new_window "$title" "")
shot "$login" login
xdotool key Return
gone "$login"
main=$(new_window "$title" "")
sleep 1
shot "$main" main-window

# Tool buttons, in the main window's own coordinates (the menu bar above them).
button_y=38
b_search=186 b_add=248 b_modify=322 b_mass=396 b_print=470 b_overview=544
# The category tree: the root item, then the collapsed groups, one row each.
tree_x=60 tree_root_y=72

# A category: 营运证 → 预警 (expand the group with the keyboard).
click "$main" "$tree_x" "$tree_root_y"
key "$main" Down Right Down Down Down
sleep 1
shot "$main" category

# The vehicle window of the first sample vehicle, which carries its document pictures: a search
# for its plate, then a double-click on the one row found.
click "$main" 130 "$button_y"
xdotool type --delay 40 H00000
key "$main" Return
sleep 1
before=$(windows)
dclick "$main" 400 102
vehicle=$(new_window "$title" "$before")
sleep 2 # the ten thumbnails come from the web server
shot "$vehicle" vehicle-window

# The picture window: a double-click on the first thumbnail (车主身份证).
before=$(windows)
dclick "$vehicle" 720 125
picture=$(new_window "$title" "$before")
shot "$picture" picture-window
key "$picture" Escape
gone "$picture"
key "$vehicle" Escape
gone "$vehicle"
# The search box empty again for the pictures that follow.
click "$main" 130 "$button_y"
key "$main" ctrl+a BackSpace

# The print preview of the full list.
click "$main" "$tree_x" "$tree_root_y"
sleep 1
click "$main" "$b_print" "$button_y"
preview=$(new_window 打印预览 "")
shot "$preview" print-preview 1000
key "$preview" Escape
gone "$preview"

# 短信群发 with the listed vehicles.
before=$(windows)
click "$main" "$b_mass" "$button_y"
mass=$(new_window "$title" "$before")
shot "$mass" mass-send
key "$mass" Escape
gone "$mass"

# 车辆管理 → 自动提醒, from the menu bar.
click "$main" 75 10
key "$main" Down Down Down Down Return
reminders=$(new_window 自动提醒 "")
sleep 1
shot "$reminders" reminders
key "$reminders" Escape
gone "$reminders"

# 到期总览 in place of the grid.
click "$main" "$b_overview" "$button_y"
sleep 3
shot "$main" overview
click "$main" "$b_overview" "$button_y"

# The help window (F1) with the contents, kept beside the stack for a look, not for the manual.
key "$main" F1
help=$(new_window 使用说明 "")
shot "$help" "$stack-help-window.png"
still_running
echo "all pictures made in $out"
