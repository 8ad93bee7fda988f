#!/usr/bin/env bash
# Runs the real tray application the ways a desktop hosts it (no display, an XEmbed tray, a StatusNotifierItem host,
# no tray at all) and checks each from the outside; every way out must end it with no ssh left behind.
# Usage: tray_check.sh <flumewire> <sni_watcher> <close_window>
set -u
app=$1
sni_watcher=${2:-}
close_window=${3:-}

fail() {
    echo "FAIL: $*"
    [ -f "${work:-}/app.log" ] && { echo "--- application log"; cat "$work/app.log"; }
    exit 1
}
# wait_for TENTHS COMMAND...: runs the command every tenth of a second until it succeeds; false when it never did.
wait_for() {
    for _ in $(seq 1 "$1"); do
        "${@:2}" && return 0
        sleep 0.1
    done
    return 1
}

# 1. No display at all (a server, an ssh session), also with the X11 platform asked for: a plain line, not Qt's abort.
for platform in "" xcb; do
    err=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM="$platform" "$app" 2>&1 >/dev/null)
    status=$?
    [[ $status -eq 2 && $err != *$'\n'* && $err == *"graphical session"*"flumewire up"* ]] ||
        fail "without a display ('$platform'): status $status and not one line saying what to do: $err"
done

for tool in Xvfb trayer xwd convert compare xdotool dbus-daemon "$sni_watcher" "$close_window"; do
    command -v "$tool" >/dev/null 2>&1 && continue
    [ -n "${CI:-}" ] && fail "tray check needs ${tool:-a helper} (tools/packages.sh lists it)"
    echo "SKIPPED: tray check needs ${tool:-a helper}; install it to run it"
    exit 77
done

work=$(mktemp -d)
pids=()
# Runs a command in the background ($! names it) until the end of the check.
spawn() {
    "$@" &
    pids+=($!)
}
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and names it once it accepts clients.
spawn Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1
wait_for 100 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
shot() { xwd -root -silent | convert xwd:- "png:$1"; }
# changed_from SHOT N [WxH+X+Y]: a fresh screenshot differs from SHOT by more than N pixels (within the area).
differ() { compare -metric AE ${3:+-crop "$3"} "$1" "$2" null: 2>&1 | cut -d' ' -f1 | cut -d. -f1; }
changed_from() {
    shot "$work/now.png"
    [ "$(differ "$1" "$work/now.png" "${3:-}")" -gt "$2" ] 2>/dev/null
}

# Every run gets a session bus of its own, so the application never meets the user's desktop services.
private_bus() {
    rm -f "$work/bus.address"
    spawn dbus-daemon --session --nofork --nopidfile --print-address=1 >"$work/bus.address" 2>/dev/null
    wait_for 50 test -s "$work/bus.address" || fail "no private session bus"
    export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$work/bus.address")"
}

# Our own tunnels file, so that no sample tunnel starts. The one autostart tunnel runs under a stand-in ssh that
# just stays alive (a real child for the no-ssh-left check) and never reaches beyond this machine.
mkdir -p "$work/data/Flumewire-Dev" "$work/config"
cat >"$work/data/Flumewire-Dev/tunnels.json" <<'JSON'
[{"id":"loop","name":"Loopback","type":"L","host":"127.0.0.1","user":"","sshPort":"1","bindPort":"",
  "targetPort":"9","autostart":true,"extra":"-F /dev/null"}]
JSON
stand_in="$work/ssh-stand-in-$$"
printf '#!/bin/sh\ntrap "exit 0" TERM\necho "debug1: Connecting to 127.0.0.1 port 1."\nwhile :; do sleep 0.2; done\n' \
    >"$stand_in"
chmod +x "$stand_in"

start_app() {
    spawn env XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb FLUMEWIRE_LOG_STDERR=1 \
        FLUMEWIRE_SSH="$stand_in" "$app" >"$work/app.log" 2>&1
    app_pid=$!
    wait_for 100 grep -q "status item installed (dev=true)" "$work/app.log" || fail "no 'status item installed' line"
}
expect_exit() {
    wait_for 200 eval '! kill -0 "$app_pid" 2>/dev/null' || fail "$1: the application is still running"
    wait "$app_pid"
    local status=$?
    [ "$status" -eq 0 ] || fail "$1: the application ended with status $status"
    grep -q "quit requested" "$work/app.log" || fail "$1: no 'quit requested' line"
    pgrep -f "$stand_in" >/dev/null && fail "$1: an ssh child was left running"
}

# 2. Xvfb with trayer as an XEmbed tray. The tray area is the top-right 200 × 32 pixels; the icon has embedded once
# enough of it changed.
private_bus
spawn trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
    --SetDockType true --transparent false >"$work/trayer.log" 2>&1
wait_for 50 eval 'xdotool search --class trayer >/dev/null 2>&1' || fail "trayer did not start"
sleep 0.5
shot "$work/before.png"
start_app
wait_for 100 changed_from "$work/before.png" 20 200x32+600+0 ||
    fail "the tray area did not change ($(differ "$work/before.png" "$work/now.png" 200x32+600+0) pixels)"
grep -q "no system tray available" "$work/app.log" && fail "the application found no tray"
cp "$work/now.png" "$work/after.png"

# Where the icon is: the middle of what changed in the tray area.
compare "$work/before.png" "$work/after.png" -compose src -highlight-color white -lowlight-color black \
    "$work/diff.png" 2>/dev/null
read -r bw bh bx by <<<"$(convert "$work/diff.png" -crop 200x32+600+0 +repage -trim -format '%w %h %X %Y' info:)"
icon_x=$((600 + ${bx#+} + bw / 2))
icon_y=$((${by#+} + bh / 2))

# A left click opens the popover; Escape closes it.
xdotool mousemove "$icon_x" "$icon_y" click 1
wait_for 50 changed_from "$work/after.png" 5000 400x500+400+32 ||
    fail "a left click on the icon showed no popover ($(differ "$work/after.png" "$work/now.png" 400x500+400+32) pixels)"
xdotool key Escape
wait_for 50 eval '! changed_from "$work/after.png" 5000 400x500+400+32' || fail "Escape left the popover open"

# A right click opens the context menu; "Quit Flumewire" is its last entry.
shot "$work/closed.png"
xdotool mousemove "$icon_x" "$icon_y" click 3
wait_for 50 changed_from "$work/closed.png" 2000 ||
    fail "a right click on the icon showed no menu ($(differ "$work/closed.png" "$work/now.png") pixels)"
sleep 0.3
xdotool key Up Return
expect_exit "the tray menu's Quit"

# 3. StatusNotifierItem host: the item and its menu over D-Bus, and Quit through the menu.
private_bus
spawn "$sni_watcher" "Quit Flumewire" >"$work/sni.log" 2>&1
watcher_pid=$!
wait_for 50 grep -q watching "$work/sni.log"
start_app
wait "$watcher_pid" && grep -qxF "clicked Quit Flumewire" "$work/sni.log" ||
    fail "the StatusNotifierItem host found no item with a \"Quit Flumewire\" entry: $(cat "$work/sni.log")"
expect_exit "the StatusNotifierItem menu's Quit"

# 4. No tray: trayer gone and no watcher on the bus.
pkill -x -P $$ trayer
wait_for 50 eval '! xdotool search --class trayer >/dev/null 2>&1'
private_bus
start_app
find_window() { window=$(xdotool search --onlyvisible --name '^Flumewire' 2>/dev/null | head -n1) && [ -n "$window" ]; }
wait_for 100 find_window || fail "without a tray no window appeared"
grep -q "no system tray available" "$work/app.log" || fail "without a tray the log does not say so"
pgrep -f "$stand_in" >/dev/null || fail "the autostart tunnel's ssh never started"
# A loaded machine may map the window before it listens for the close request: ask again until it answers.
for _ in $(seq 1 10); do
    "$close_window" "$window"
    wait_for 10 grep -q "quit requested" "$work/app.log" && break
done
expect_exit "closing the window"
echo "tray check passed: no display, XEmbed tray, StatusNotifierItem host, no tray"
