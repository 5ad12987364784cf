#!/usr/bin/env bash
# End to end: the real program's hold on its port, on a bare X server, with a
# simulated sensor's pseudo-terminal bound over /dev/ttyS0 (port 1) and a
# private /run/lock, in a mount namespace of its own.
#
# Holders: for each row something holds, or seems to hold, the port when the
# program starts; the program must open the port only when its holder is gone
# (its lock file then names the program), leave a live holder's lock file as
# it was, and keep its window answering whatever lies at the lock path.
#
# Signals: for each row the program runs with the port open and gets a pattern
# of termination signals; it must end by the first of them, the sensor must
# see the hang-up, no lock file may remain, and no port may open after the
# signal.
#
# usage: portlock_e2e.sh QUADRELINK SIM CLOSEWINDOW WORKDIR
# Exits 77 (skipped) when Xvfb, xdotool, python3, strace or a private mount
# namespace are missing.
set -euo pipefail
# A command that fails outside a check ends the script: say which.
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND (status $?)"' ERR

here=$(cd "$(dirname "$0")" && pwd)
program=$1 sim=$2 closewindow=$3 work=$4
for tool in Xvfb xdotool python3 strace; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [[ ${QUADRELINK_PORTLOCK_INSIDE:-} != 1 ]]; then
    QUADRELINK_PORTLOCK_INSIDE=1 exec "$here/../support/without-serial-ports" "$0" "$@"
fi
[[ -e /dev/ttyS0 ]] || { echo "SKIP: no /dev/ttyS0 to put the sensor's port on"; exit 77; }
# A lock directory of our own: the host's locks stay out of sight and ours
# vanish with the namespace.
mount -t tmpfs -o mode=1777 quadrelink-locks /run/lock
lock=/run/lock/LCK..ttyS0

rm -rf "$work" && mkdir -p "$work"
source "$here/common.sh"
start_xvfb "$work/xvfb.log"
failures=0
fail() { echo "FAIL ($row): $*"; failures=$((failures + 1)); }

# start_sensor DIR: a simulated sensor whose port is /dev/ttyS0 from now on.
start_sensor() {
    "$sim" --log "$1/sensor.log" --verbose >"$1/sim.out" 2>"$1/sim.err" &
    sensor_pid=$!
    pids+=("$sensor_pid")
    wait_for 30 test -s "$1/sim.out" || { echo "FAIL: the simulated sensor did not start"; exit 1; }
    mount --bind "$(head -n1 "$1/sim.out")" /dev/ttyS0
}
stop_sensor() {
    kill "$sensor_pid" 2>/dev/null || true
    wait "$sensor_pid" 2>/dev/null || true
    umount /dev/ttyS0 || umount --lazy /dev/ttyS0
    rm -rf /run/lock/*
}
lock_names() { [[ -f $lock && ! -L $lock && $(head -n1 "$lock" | tr -d ' \0') == "$1" ]]; }
# What lies at the lock path; only a regular file is read.
describe_lock() {
    stat -c '%F %i %s %Y' "$lock" 2>/dev/null || true
    if [[ -f $lock && ! -L $lock ]]; then md5sum <"$lock"; fi
}

# What holds the port | what the program must do with it.
holders=(
    "stale-own-lock      opens"
    "live-hdb-lock       keeps-off"
    "live-qt-lock-aged   keeps-off"
    "live-binary-lock    keeps-off"
    "flock-holder        keeps-off"
    "exclusive-holder    keeps-off"
    "fifo-lock           keeps-off"
    "zero-link-lock      keeps-off"
    "directory-lock      keeps-off"
)
hold_device() {
    exec python3 -c "import fcntl, os, termios, time
fd = os.open('/dev/ttyS0', os.O_RDWR | os.O_NOCTTY)
$1
time.sleep(600)"
}
holder_pid=
plant() {
    # A process that holds the port, for as long as the row runs.
    case $1 in
    # As picocom does: flock() on the device, no lock file.
    flock-holder) hold_device 'fcntl.flock(fd, fcntl.LOCK_EX)' & ;;
    exclusive-holder) hold_device 'fcntl.ioctl(fd, termios.TIOCEXCL)' & ;;
    *) sleep 600 & ;;
    esac
    holder_pid=$!
    pids+=("$holder_pid")
    case $1 in
    stale-own-lock)
        # A holder that is gone: a process that has ended.
        true &
        local gone=$!
        wait "$gone"
        printf '%d\nquadrelink\n%s\n' "$gone" "$(hostname)" >"$lock" ;;
    live-hdb-lock) printf '%10d\n' "$holder_pid" >"$lock" ;;
    live-qt-lock-aged)
        printf '%d\nsleep\n%s\n' "$holder_pid" "$(hostname)" >"$lock"
        touch -d '10 minutes ago' "$lock" ;;
    live-binary-lock)
        python3 -c "import struct,sys; sys.stdout.buffer.write(struct.pack('=i', $holder_pid))" >"$lock"
        touch -d '10 minutes ago' "$lock" ;;
    fifo-lock) mkfifo -m 666 "$lock" ;;
    zero-link-lock) ln -s /dev/zero "$lock" ;;
    directory-lock) mkdir "$lock" ;;
    esac
    sleep 0.3 # the holder has the device
}

for entry in "${holders[@]}"; do
    read -r row expected <<<"$entry"
    run=$work/holder-$row
    mkdir -p "$run"
    start_sensor "$run"
    plant "$row"
    before=$(describe_lock)

    env --default-signal=INT,HUP,TERM "$program" >"$run/program.out" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    # The window shows once the start-up, port opening included, is through;
    # the close afterwards is handled only if the event loop turns.
    window=$(timeout 120 xdotool search --all --sync --pid "$program_pid" --name "Quadrelink v.1.00" | head -n1) || true
    if [[ -z $window ]]; then
        fail "no window: the start-up blocked"
        kill -KILL "$program_pid" 2>/dev/null || true
    else
        case $expected in
        opens) lock_names "$program_pid" || fail "the port was not opened: $(describe_lock)" ;;
        keeps-off)
            ! lock_names "$program_pid" || fail "the port was opened over the holder"
            [[ $(describe_lock) == "$before" ]] || fail "the holder's lock changed: $before -> $(describe_lock)" ;;
        esac
        "$closewindow" "$window"
        wait_for 60 bash -c "! kill -0 $program_pid 2>/dev/null" || {
            fail "the window did not close: the event loop does not turn"
            kill -KILL "$program_pid" 2>/dev/null || true
        }
    fi
    wait "$program_pid" 2>/dev/null || true
    kill "$holder_pid" 2>/dev/null || true
    wait "$holder_pid" 2>/dev/null || true
    [[ $expected != keeps-off ]] || ! grep -q ' ad$' "$run/sensor.log" 2>/dev/null || fail "the program wrote to a held port"
    echo "holder $row: done"
    stop_sensor
done

# The signal patterns, and the exit statuses that may report them.
signal_rows=(
    "at-lock    143"
    "double     129"
    "burst      143|130|129"
    "terminal   129"
    "message    143"
)
for entry in "${signal_rows[@]}"; do
    read -r row expected <<<"$entry"
    run=$work/signal-$row
    mkdir -p "$run"
    start_sensor "$run"
    if [[ $row != message ]]; then
        status=$(python3 "$here/signalpattern.py" "$row" "$lock" -- "$program" 2>"$run/program.out" \
            | sed -n 's/^status //p')
    else
        # The message «Недопустимо» waits (a port number that is none, then a
        # choice of baud rate) when SIGTERM comes.
        # Only the traced calls stop the program (seccomp filter): a full
        # ptrace of every call slows a loaded machine's start-up by tens of
        # seconds.
        env --default-signal=INT,HUP,TERM strace --seccomp-bpf -f -o "$run/strace.log" -e trace=openat \
            -e signal=TERM,INT,HUP "$program" >"$run/program.out" 2>&1 &
        tracer_pid=$!
        pids+=("$tracer_pid")
        # strace forks short-lived children of its own to probe the kernel
        # before it starts the program: the program is the child that runs
        # under the program's name.
        traced() { pgrep -P "$tracer_pid" -x "$(basename "$program" | cut -c1-15)"; }
        wait_for 60 traced >/dev/null || {
            fail "the program did not start: $(tail -n 5 "$run/program.out" "$run/strace.log" 2>&1)"
            stop_sensor
            continue
        }
        program_pid=$(traced)
        window=$(timeout 120 xdotool search --all --sync --pid "$program_pid" --name "Quadrelink v.1.00" | head -n1) || true
        [[ -n $window ]] || fail "no window"
        xdotool windowfocus --sync "$window" key ctrl+a type x
        xdotool key Tab Down
        message_up() { (($(xdotool search --onlyvisible --pid "$program_pid" | wc -l) >= 2)); }
        wait_for 60 message_up || fail "no message appeared"
        kill -TERM "$program_pid"
        status=0
        wait_for 60 bash -c "! kill -0 $tracer_pid 2>/dev/null" || status=hung
        [[ $status == hung ]] || wait "$tracer_pid" || status=$?
    fi
    [[ $status =~ ^($expected)$ ]] || fail "exit status $status, expected $expected"
    [[ ! -e $lock ]] || fail "the lock file remains: $(head -c 40 "$lock" | tr '\n' ' ')"
    if grep -q "port opened" "$run/sim.err"; then
        wait_for 30 grep -q "port closed" "$run/sim.err" || fail "the sensor saw no hang-up"
    fi
    # Every open of the port after the first signal arrived, where it was traced.
    [[ -e $run/strace.log ]] || touch "$run/strace.log"
    late_opens=$(awk '/--- SIG(TERM|INT|HUP)/ { signalled = 1 } signalled && /openat\(.*"\/dev\/ttyS0"/ { n++ } END { print n + 0 }' "$run/strace.log")
    ((late_opens == 0)) || fail "the port was opened $late_opens times after the signal"
    echo "signal $row: status $status"
    stop_sensor
done

((failures == 0)) || { echo "FAIL: $failures row(s) failed"; exit 1; }
echo "PASS: no held port taken, no planted lock blocks, every signal pattern leaves no lock"
