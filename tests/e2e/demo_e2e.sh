#!/usr/bin/env bash
# End to end: the real quadrelink-demo window on a bare X server, wired to a
# quadrelink-sim process. Clicks "Run", sees the queries reach the sensor, takes
# a screenshot, closes the window and sees the sensor's side hang up.
#
# usage: demo_e2e.sh DEMO SIM CLOSEWINDOW WORKDIR
# Exits 77 (skipped) only when Xvfb or xdotool are missing.
set -euo pipefail

demo=$1 sim=$2 closewindow=$3 work=$4
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

rm -rf "$work" && mkdir -p "$work"
log=$work/sensor.log link=$work/port1
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

display=:$((100 + RANDOM % 400))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
wait_for 10 xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "FAIL: Xvfb did not start"; exit 1; }

"$sim" --link "$link" --log "$log" --verbose >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
wait_for 10 test -e "$link" || { echo "FAIL: the simulated sensor did not start"; exit 1; }

"$demo" "$link" >"$work/demo.out" 2>&1 &
demo_pid=$!
pids+=("$demo_pid")

window=$(timeout 20 xdotool search --sync --name "Quadrelink v.1.00" | head -n1)
[[ -n $window ]] || { echo "FAIL: no window with the caption appeared"; exit 1; }
echo "window $window: $(xdotool getwindowname "$window")"
wait_for 10 grep -q "port opened" "$work/sim.err" || { echo "FAIL: the port was not opened"; exit 1; }

# "Run" sits at 394,30 (35×21) in the client area, under the menu bar.
xdotool mousemove --window "$window" 411 62 click 1
queries() { grep -c ' ad$' "$log" 2>/dev/null || true; }
enough_queries() { (($(queries) >= 10)); }
wait_for 10 enough_queries || { echo "FAIL: only $(queries) queries reached the sensor"; exit 1; }
echo "queries seen by the sensor: $(queries)"

if command -v xwd >/dev/null; then
    xwd -id "$window" -out "$work/window.xwd" && echo "screenshot: $work/window.xwd"
fi

"$closewindow" "$window"
wait_for 10 grep -q "port closed" "$work/sim.err" || { echo "FAIL: the sensor saw no hang-up"; exit 1; }
wait_for 10 bash -c "! kill -0 $demo_pid 2>/dev/null" || { echo "FAIL: the window did not close"; exit 1; }
echo "PASS: queries sent, window closed, sensor side hung up"
