#!/usr/bin/env bash
# End to end, as a blind operator meets the program: the real quadrelink-demo
# window on a bare X server, wired to a quadrelink-sim process, with the screen
# reader Orca speaking through speech-dispatcher, all on a private D-Bus
# session and AT-SPI bus. screenreader_e2e.py then presses keys and checks
# what Orca said, read from speech-dispatcher's protocol log.
#
# usage: screenreader_e2e.sh DEMO SIM WORKDIR FACTS   (FACTS: the build's window-facts)
# Exits 77 (skipped) when Orca cannot start here (it, speech-dispatcher,
# Xvfb, D-Bus or the AT-SPI bus missing or not starting): then nothing was
# checked.
set -euo pipefail

demo=$1 sim=$2 work=$3 facts=$4
here=$(cd "$(dirname "$0")" && pwd)
# Debian's Python, which holds pyatspi; a python3 earlier in PATH may not.
python=/usr/bin/python3

if [[ -z ${QUADRELINK_PRIVATE_SESSION:-} ]]; then
    for tool in Xvfb xdotool dbus-run-session dbus-send unshare orca speech-dispatcher "$python"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    [[ -x /usr/libexec/at-spi-bus-launcher ]] || { echo "SKIP: at-spi2-core is not installed"; exit 77; }
    "$python" -c 'import pyatspi' 2>/dev/null || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }
    dbus-run-session -- true 2>/dev/null || { echo "SKIP: no D-Bus session bus starts here"; exit 77; }
    rm -rf "$work" && mkdir -p "$work"/{home,config/speech-dispatcher,data,cache,runtime,speechd}
    chmod 700 "$work/runtime"
    # A private home: the AT-SPI bus, speech-dispatcher and Orca keep their
    # sockets and settings there, apart from the desktop's and other tests'.
    export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data \
        XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
    export QUADRELINK_PRIVATE_SESSION=1
    # Port 2, chosen in the test, must be no real port of this machine.
    exec "$here/../support/without-serial-ports" dbus-run-session -- "$0" "$@"
fi

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

# speech-dispatcher logs every utterance in its protocol log and plays the
# sound into libao's null device: no sound card needed.
echo "default_driver=null" >"$HOME/.libao"
cat >"$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf" <<EOF
LogLevel 5
LogDir "$work/speechd"
CustomLogFile "protocol" "$work/protocol.log"
AudioOutputMethod "libao"
EOF
speech-dispatcher --run-daemon --timeout 0 --pid-file "$work/speechd.pid" \
    >"$work/speechd.out" 2>&1 || { echo "SKIP: speech-dispatcher does not start"; exit 77; }
trap 'cleanup; kill "$(cat "$work/speechd.pid" 2>/dev/null)" 2>/dev/null || true' EXIT

# Orca refuses to start beside another Orca of the same user, which it finds
# by name: in a PID namespace of its own it sees none of the machine's. It
# ends with the test (--kill-child).
unshare --pid --fork --kill-child --mount-proc orca --debug-file="$work/orca-debug.log" \
    >"$work/orca.out" 2>&1 &
pids+=($!)
spoken() { grep -a -o '<speak>.*</speak>' "$work/protocol.log" 2>/dev/null | sed 's/<[^>]*>//g'; }
if ! wait_for 120 eval 'spoken | grep -q "Screen reader on"'; then
    echo "SKIP: Orca does not start here"; tail -n 5 "$work/orca.out"; exit 77
fi

"$sim" --link "$link" --verbose >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
wait_for 10 test -e "$link" || { echo "FAIL: the simulated sensor did not start"; exit 1; }

"$demo" "$link" >"$work/demo.out" 2>&1 &
demo_pid=$!
pids+=("$demo_pid")
wait_for 30 grep -q "port opened" "$work/sim.err" || { echo "FAIL: the port was not opened"; exit 1; }

# (bench/alt-tap drives the same session with a driver of its own.)
"$python" "${QUADRELINK_SCREENREADER_DRIVER:-$here/screenreader_e2e.py}" --demo-pid "$demo_pid" --log "$work/protocol.log" \
    --facts "$facts"
