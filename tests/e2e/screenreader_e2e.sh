#!/usr/bin/env bash
# End to end, as a screen reader meets the program: the real quadrelink-demo
# window on a bare X server, with a private D-Bus session and the AT-SPI bus,
# wired to a quadrelink-sim process. screenreader_e2e.py then reads the
# accessibility tree and listens to its events through pyatspi, the library
# screen readers use.
#
# usage: screenreader_e2e.sh DEMO SIM WORKDIR
# Exits 77 (skipped) when Xvfb, D-Bus, the AT-SPI bus or pyatspi is missing or
# the bus cannot start: then nothing was checked.
set -euo pipefail

demo=$1 sim=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
# Debian's Python, which holds pyatspi; a python3 earlier in PATH may not.
python=/usr/bin/python3

if [[ -z ${QUADRELINK_PRIVATE_SESSION:-} ]]; then
    for tool in Xvfb xdotool dbus-run-session dbus-send "$python"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    [[ -x /usr/libexec/at-spi-bus-launcher ]] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
    "$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
    dbus-run-session -- true 2>/dev/null || { echo "SKIP: no D-Bus session bus starts here"; exit 77; }
    # A private session bus: the test neither needs nor disturbs the desktop's.
    export QUADRELINK_PRIVATE_SESSION=1
    exec dbus-run-session -- "$0" "$@"
fi

rm -rf "$work" && mkdir -p "$work"
link=$work/port1
source "$here/common.sh"

# The AT-SPI bus starts on demand; asking for its address starts it.
if ! dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress >"$work/a11y-bus.out" 2>&1; then
    echo "SKIP: the AT-SPI bus does not start here"; cat "$work/a11y-bus.out"; exit 77
fi
# Tell applications that a screen reader is running, as a desktop does when
# one starts; Qt switches its accessibility bridge on from that.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status \
    string:ScreenReaderEnabled variant:boolean:true >/dev/null

start_xvfb "$work/xvfb.log"

"$sim" --link "$link" --verbose >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
pids+=("$sim_pid")
wait_for 10 test -e "$link" || { echo "FAIL: the simulated sensor did not start"; exit 1; }

"$demo" "$link" >"$work/demo.out" 2>&1 &
pids+=($!)
wait_for 10 grep -q "port opened" "$work/sim.err" || { echo "FAIL: the port was not opened"; exit 1; }

"$python" "$here/screenreader_e2e.py" --sim-pid "$sim_pid"
