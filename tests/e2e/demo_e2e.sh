#!/usr/bin/env bash
# End to end: the real quadrelink-demo window on a bare X server, wired to a
# quadrelink-sim process. Clicks "Run", sees the queries reach the sensor, takes
# a screenshot, then ends the program while it polls, once for each way it can
# end: its window closed, SIGTERM, SIGINT, SIGHUP, and the X server gone. Each
# time the sensor's side must see the hang-up, the program must exit with the
# status that says how it ended, and no lock file may remain for the port.
#
# usage: demo_e2e.sh DEMO SIM CLOSEWINDOW WORKDIR
# Exits 77 (skipped) only when Xvfb or xdotool are missing.
set -euo pipefail

demo=$1 sim=$2 closewindow=$3 work=$4
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

rm -rf "$work" && mkdir -p "$work"
source "$(dirname "$0")/common.sh"
start_xvfb "$work/xvfb.log"

# How each run ends the program, and the exit status that must report it: a
# signal ends it by that same signal once the window has closed (128 + its
# number in a shell); when the display is lost Qt ends it with status 1.
endings=("close 0" "TERM 143" "INT 130" "HUP 129" "display 1")

# What the window sends at each polling tick (SensorDialogue::distanceQuery),
# as the sensor logs it: without its carriage return.
distance_query=ad

for ending in "${endings[@]}"; do
    read -r how expected <<<"$ending"
    run=$work/$how log=$work/$how/sensor.log link=$work/$how/port1
    mkdir -p "$run"
    # Qt names the port's lock file after the path it opens.
    lock=LCK..${link//\//_}

    "$sim" --link "$link" --log "$log" --verbose >"$run/sim.out" 2>"$run/sim.err" &
    pids+=($!)
    wait_for 10 test -e "$link" || { echo "FAIL ($how): the simulated sensor did not start"; exit 1; }

    # A script's background job starts with SIGINT ignored, and the program
    # keeps an ignored signal ignored (as under nohup); give it the defaults a
    # terminal would.
    env --default-signal=INT,HUP,TERM "$demo" "$link" >"$run/demo.out" 2>&1 &
    demo_pid=$!
    pids+=("$demo_pid")

    window=$(timeout 20 xdotool search --all --sync --pid "$demo_pid" --name "Quadrelink v.1.00" | head -n1)
    [[ -n $window ]] || { echo "FAIL ($how): no window with the caption appeared"; exit 1; }
    echo "$how: window $window: $(xdotool getwindowname "$window")"
    wait_for 10 grep -q "port opened" "$run/sim.err" || { echo "FAIL ($how): the port was not opened"; exit 1; }
    [[ -e /var/lock/$lock ]] || { echo "FAIL ($how): no lock file $lock while the port is open"; exit 1; }

    # "Run" sits at 394,30 (35×21) in the client area, under the menu bar.
    xdotool mousemove --window "$window" 411 62 click 1
    queries() { grep -c " $distance_query\$" "$log" 2>/dev/null || true; }
    enough_queries() { (($(queries) >= 10)); }
    wait_for 10 enough_queries || { echo "FAIL ($how): only $(queries) queries reached the sensor"; exit 1; }
    echo "$how: queries seen by the sensor: $(queries)"

    if [[ $how == close ]] && command -v xwd >/dev/null; then
        xwd -id "$window" -out "$work/window.xwd" && echo "screenshot: $work/window.xwd"
    fi

    case $how in
    close) "$closewindow" "$window" ;;
    display) kill "$xvfb_pid" ;;
    *) kill -s "$how" "$demo_pid" ;;
    esac

    wait_for 10 grep -q "port closed" "$run/sim.err" || { echo "FAIL ($how): the sensor saw no hang-up"; exit 1; }
    wait_for 10 bash -c "! kill -0 $demo_pid 2>/dev/null" || { echo "FAIL ($how): the program did not end"; exit 1; }
    status=0
    wait "$demo_pid" || status=$?
    ((status == expected)) || { echo "FAIL ($how): exit status $status, expected $expected"; exit 1; }
    for dir in /var/lock /run/lock; do
        [[ ! -e $dir/$lock ]] || { echo "FAIL ($how): $dir/$lock remains"; exit 1; }
    done
    echo "$how: exit status $status, sensor side hung up, no lock file left"
done
echo "PASS: queries sent; closed, signalled or left without a display, the program closed its port"
