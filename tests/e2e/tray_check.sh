#!/usr/bin/env bash
# Runs the tray application under Xvfb with trayer as the tray host and checks, on a screenshot, that its icon
# embedded in the tray. Usage: tray_check.sh <flumewire> <output folder>
set -u
app="$1"
out="${2:-.}"
mkdir -p "$out"

missing=()
for tool in Xvfb trayer xwd convert compare; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
    if [ -n "${CI:-}" ]; then
        echo "FAIL: tray check needs ${missing[*]} (tools/packages.sh lists them)"
        exit 1
    fi
    echo "SKIPPED: tray check needs ${missing[*]}; install them to run it"
    exit 77
fi

work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

# A display number nobody uses.
display=""
for n in $(seq 90 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
        display=":$n"
        break
    fi
done
[ -n "$display" ] || { echo "FAIL: no free X display"; exit 1; }

Xvfb "$display" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
shot() { xwd -root -silent -display "$display" | convert xwd:- "png:$1"; }
for _ in $(seq 1 50); do
    xwd -root -silent -display "$display" >/dev/null 2>&1 && break
    sleep 0.1
done

export DISPLAY="$display"
trayer --edge top --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
    --SetDockType true --transparent false >"$work/trayer.log" 2>&1 &
pids+=($!)
sleep 1
shot "$work/before.png"

# Our own tunnels file, so that no sample tunnel starts: the one autostart tunnel goes to a closed port on
# 127.0.0.1 and ignores the user's ssh configuration, so the check never reaches beyond this machine.
mkdir -p "$work/data/Flumewire-Dev" "$work/config"
cat >"$work/data/Flumewire-Dev/tunnels.json" <<'JSON'
[{"id":"loop","name":"Loopback","type":"L","host":"127.0.0.1","user":"","sshPort":"1","bindPort":"",
  "targetPort":"9","autostart":true,"extra":"-F /dev/null"}]
JSON
XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb FLUMEWIRE_LOG_STDERR=1 \
    "$app" >"$work/app.log" 2>&1 &
app_pid=$!
pids+=($app_pid)

# The tray area: the top-right 200 × 32 pixels. The icon has embedded when enough of it differs from before.
changed=0
for _ in $(seq 1 40); do
    sleep 0.25
    if ! kill -0 "$app_pid" 2>/dev/null; then
        echo "FAIL: the application exited early"; cat "$work/app.log"; exit 1
    fi
    shot "$work/after.png"
    changed=$(compare -metric AE -crop 200x32+600+0 "$work/before.png" "$work/after.png" null: 2>&1 | cut -d' ' -f1)
    [ "${changed%.*}" -gt 20 ] 2>/dev/null && break
done
cp "$work/after.png" "$out/tray-screenshot.png"
convert "$work/after.png" -crop 200x32+600+0 +repage -scale 400% "$out/tray-area.png"
cat "$work/app.log"

if grep -q "no system tray available" "$work/app.log"; then
    echo "FAIL: the application found no tray"
    exit 1
fi
if [ "${changed%.*}" -le 20 ] 2>/dev/null; then
    echo "FAIL: the tray area did not change ($changed pixels); see $out/tray-screenshot.png"
    exit 1
fi
grep -q "status item installed" "$work/app.log" || { echo "FAIL: no 'status item installed' line"; exit 1; }
echo "tray icon embedded: $changed pixels changed in the tray area; screenshot $out/tray-screenshot.png"
exit 0
