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
# QUADRELINK_PORTLOCK_ROWS (a regular expression) picks rows by name@planted
# (name@signal for the signal rows);
# QUADRELINK_TOGGLED_STARTS and QUADRELINK_TOGGLED_CHANGES set the starts and
# the settings changes of the toggled-lock row.
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
    rm -rf /run/lock/* "$work/strace.log"
}
lock_names() { [[ -f $lock && ! -L $lock && $(head -n1 "$lock" | tr -d ' \0') == "$1" ]]; }
# What lies at the lock path; only a regular file is read.
describe_lock() {
    stat -c '%F %i %s %Y' "$lock" 2>/dev/null || true
    if [[ -f $lock && ! -L $lock ]]; then md5sum <"$lock"; fi
}

# Two unprivileged users: the operator runs the program, the attacker is any
# other local user. No account is needed for a user id.
operator=4101 attacker=4102
# as USER COMMAND...: runs in place of the (sub)shell that calls it, so that a
# background job's $! is the command's own process.
as() { local user=$1; shift; exec setpriv --reuid="$user" --regid="$user" --clear-groups -- "$@"; }
(as "$operator" true) 2>/dev/null || { echo "SKIP: no other user can be run here"; exit 77; }
# The system's own interpreter: a per-user one may be out of another user's reach.
py=$(command -v /usr/bin/python3 || command -v python3)
# A build tree under a home only its owner may enter (root's, in a fresh root)
# is out of the operator's reach: the program is then copied, and the work
# folder reached, into a folder every user may enter.
if ! (as "$operator" test -x "$program") 2>/dev/null; then
    reach=$(mktemp -d /tmp/quadrelink-portlock.XXXXXX)
    chmod 755 "$reach" && mkdir "$reach/bin" "$reach/work"
    cp "$program" "$reach/bin/"
    mount --bind "$work" "$reach/work"
    program=$reach/bin/$(basename "$program") work=$reach/work
    # Only the copy and the empty folders go (rmdir never removes contents).
    trap 'cleanup; rm -f "$program"; umount "$reach/work" 2>/dev/null; rmdir "$reach/bin" "$reach/work" "$reach" 2>/dev/null || true' EXIT
fi
home=$work/home && mkdir -p "$home" && chown "$operator" "$home"
own() { local user=$1; shift; chown -h "$user:$user" "$@"; }
# A process number nothing runs under: a process that has ended.
gone_pid() { true & local pid=$!; wait "$pid"; echo "$pid"; }

# What holds the port; who runs the program; when the hold is planted: before
# the start, the moment the program has looked at the lock paths (stopped at
# its first flock()), the moment its own lock vanishes in a settings change, or
# all along, the lock path toggled (toggled_starts starts, then
# toggled_changes settings changes); what the program must do.
toggled_starts=${QUADRELINK_TOGGLED_STARTS:-50}
toggled_changes=${QUADRELINK_TOGGLED_CHANGES:-50}
holders=(
    "stale-own-lock          operator start    opens"
    "reused-pid-own-lock     operator start    opens"
    "stale-rmlock-fifo       operator start    opens"
    "live-hdb-lock           operator start    keeps-off"
    "live-qt-lock-aged       operator start    keeps-off"
    "live-binary-lock        operator start    keeps-off"
    "flock-holder            operator start    keeps-off"
    "exclusive-holder        operator start    keeps-off"
    "fifo-lock               operator start    keeps-off"
    "zero-link-lock          operator start    keeps-off"
    "directory-lock          operator start    keeps-off"
    "stale-rmlock-zero-link  operator start    keeps-off"
    "live-hdb-lock-as-root   root     probe    opens"
    "stale-rmlock-fifo       operator reapply  keeps-off"
    "toggled-lock            operator toggled  either"
)
holder_pid=
# A holder of the device says when it holds: it writes $run/held.
hold_device() {
    exec "$py" -c "import fcntl, os, termios, time
fd = os.open('/dev/ttyS0', os.O_RDWR | os.O_NOCTTY)
$1
open('$run/held', 'w').write('held')
time.sleep(600)"
}
# As another user's serial program that locks the HDB way: creates the lock
# file exclusively, says whether it got it, and holds it.
hdb_locker() {
    as "$attacker" "$py" -c "import os, time
try:
    fd = os.open('$lock', os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW, 0o644)
    os.write(fd, b'%10d\n' % os.getpid())
    os.close(fd)
    result = 'held'
except FileExistsError:
    result = 'refused'
print(result, flush=True)
time.sleep(600)" >"$run/held" &
    holder_pid=$!
    pids+=("$holder_pid")
}
# A stale Qt-format lock naming this program, and an attacker's FIFO where
# Qt's stale-lock takeover opens its own lock.
stale_own_lock() {
    printf '%d\nquadrelink\n%s\n' "$(gone_pid)" "$(hostname)" >"$lock"
    own "$operator" "$lock"
}
plant() {
    case $1 in
    # As picocom does: flock() on the device, no lock file.
    flock-holder) hold_device 'fcntl.flock(fd, fcntl.LOCK_EX)' & ;;
    exclusive-holder) hold_device 'fcntl.ioctl(fd, termios.TIOCEXCL)' & ;;
    *) sleep 600 & ;;
    esac
    holder_pid=$!
    pids+=("$holder_pid")
    case $1 in
    flock-holder | exclusive-holder)
        wait_for 120 test -s "$run/held" || fail "the holder did not take the device" ;;
    stale-own-lock) stale_own_lock ;;
    # The number of a process that ended, now another program's.
    reused-pid-own-lock)
        printf '%d\nquadrelink\n%s\n' "$holder_pid" "$(hostname)" >"$lock"
        own "$operator" "$lock" ;;
    stale-rmlock-fifo)
        stale_own_lock
        mkfifo -m 666 "$lock.rmlock" && own "$attacker" "$lock.rmlock" ;;
    stale-rmlock-zero-link)
        printf '%10d\n' "$(gone_pid)" >"$lock"
        ln -s /dev/zero "$lock.rmlock"
        own "$attacker" "$lock" "$lock.rmlock" ;;
    live-hdb-lock) printf '%10d\n' "$holder_pid" >"$lock" ;;
    live-qt-lock-aged)
        printf '%d\nsleep\n%s\n' "$holder_pid" "$(hostname)" >"$lock"
        touch -d '10 minutes ago' "$lock" ;;
    live-binary-lock)
        "$py" -c "import struct,sys; sys.stdout.buffer.write(struct.pack('=i', $holder_pid))" >"$lock"
        touch -d '10 minutes ago' "$lock" ;;
    fifo-lock) mkfifo -m 666 "$lock" ;;
    zero-link-lock) ln -s /dev/zero "$lock" ;;
    directory-lock) mkdir "$lock" ;;
    esac
}
# The attacker's loop: the lock path a FIFO, a link to /dev/zero, a stale lock
# file, nothing, in turn, as fast as it goes; Qt's takeover lock a FIFO.
toggle_lock() {
    as "$attacker" "$py" -c "import os
lock = '$lock'
try:
    os.mkfifo(lock + '.rmlock', 0o666)
except OSError:
    pass
stale = b'%10d\n' % $(gone_pid)
while True:
    for kind in ('fifo', 'zero', 'file', 'none'):
        try:
            os.unlink(lock)
        except OSError:
            pass
        try:
            if kind == 'fifo':
                os.mkfifo(lock, 0o666)
            elif kind == 'zero':
                os.symlink('/dev/zero', lock)
            elif kind == 'file':
                fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
                os.write(fd, stale)
                os.close(fd)
        except OSError:
            pass" &
    holder_pid=$!
    pids+=("$holder_pid")
}
# Once the program's own lock file has been there and is gone (a settings
# change closes the port), the attacker plants a stale lock and a FIFO where
# Qt's takeover would open its own; $run/planted says it did.
plant_at_reapply() {
    as "$attacker" "$py" -c "import os, time
lock = '$lock'
def names_program():
    try:
        with open(lock, 'rb') as f:
            return f.readline().strip() == b'$program_pid'
    except OSError:
        return False
while True:
    while not names_program():
        time.sleep(0.001)
    while os.path.lexists(lock):
        time.sleep(0.0005)
    try:
        fd = os.open(lock, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o644)
    except OSError:
        continue
    os.write(fd, b'%10d\n' % $(gone_pid))
    os.close(fd)
    try:
        os.mkfifo(lock + '.rmlock', 0o666)
    except OSError:
        pass
    print('planted', flush=True)
    break
time.sleep(600)" >"$run/planted" &
    holder_pid=$!
    pids+=("$holder_pid")
}

# start_program USER [TRACER...]: the program as USER, under TRACER if given;
# sets program_pid once the program itself runs.
start_program() {
    local user=$1
    shift
    local command=(env --default-signal=INT,HUP,TERM HOME="$home" "$program")
    [[ $user == root ]] || command=(setpriv --reuid="$operator" --regid="$operator" --clear-groups -- "${command[@]}")
    if (($# == 0)); then
        "${command[@]}" >"$run/program.out" 2>&1 &
        program_pid=$!
        pids+=("$program_pid")
        return
    fi
    "$@" "${command[@]}" >"$run/program.out" 2>&1 &
    tracer_pid=$!
    pids+=("$tracer_pid")
    # strace forks short-lived children of its own to probe the kernel before
    # it starts the program: the program is the child under the program's name.
    traced() { pgrep -P "$tracer_pid" -x "$(basename "$program" | cut -c1-15)"; }
    program_pid=
    wait_for 120 traced >/dev/null && program_pid=$(traced)
}
# Only the traced calls stop the program (seccomp filter): a full ptrace of
# every call slows a loaded machine's start-up by tens of seconds.
trace_opens=(strace --seccomp-bpf -f -o "$work/strace.log" -e trace=openat)
find_window() {
    timeout 120 xdotool search --all --sync --pid "$program_pid" --name "Quadrelink v.1.00" | head -n1
}
# Asks the window to close; false when the program does not end.
close_window() {
    "$closewindow" "$1"
    wait_for 60 bash -c "! kill -0 $program_pid 2>/dev/null" || {
        kill -KILL "$program_pid" 2>/dev/null || true
        return 1
    }
}
# With the port open, another program that looks for a flock() on the device
# finds it taken (as root: the exclusive-use flag would keep anyone else out).
flock_is_taken() {
    "$py" -c "import fcntl, os
fd = os.open('/dev/ttyS0', os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
try:
    fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
except BlockingIOError:
    raise SystemExit(0)
raise SystemExit(1)"
}

for entry in "${holders[@]}"; do
    read -r row runs_as planted expected <<<"$entry"
    row=$row@$planted
    [[ $row =~ ${QUADRELINK_PORTLOCK_ROWS:-.} ]] || continue
    run=$work/holder-$row
    mkdir -p "$run"
    start_sensor "$run"
    chown "$operator" /dev/ttyS0
    tracer_pid=
    case $planted in
    start) plant "${row%@*}" ;;
    toggled) toggle_lock ;;
    esac
    before=$(describe_lock)

    if [[ $planted == toggled ]]; then
        frozen=0 ignored=0
        # Frozen: no window, or the window does not close when asked twice;
        # a close that needs asking twice is counted apart.
        ended() { ! kill -0 "$program_pid" 2>/dev/null; }
        close_or_count() {
            if [[ -n $window ]]; then
                "$closewindow" "$window"
                wait_for 60 ended && return
                "$closewindow" "$window"
                wait_for 60 ended && ignored=$((ignored + 1)) && return
            fi
            frozen=$((frozen + 1))
            kill -KILL "$program_pid" 2>/dev/null || true
        }
        for ((start = 1; start <= toggled_starts; start++)); do
            start_program "$runs_as"
            window=$(find_window) || true
            close_or_count
            wait "$program_pid" 2>/dev/null || true
        done
        # Settings changes, each closing the port and opening it again; each
        # apply looks at the lock path, which the trace shows.
        start_program "$runs_as" strace --seccomp-bpf -f -o "$work/strace.log" \
            -e trace=openat,newfstatat
        window=$(find_window) || true
        looks() { grep -c 'LCK\.\.ttyS0"' "$work/strace.log" || true; }
        more_looks() { (($(looks) > $1)); }
        if [[ -n $window ]] && xdotool windowfocus --sync "$window" key Tab; then
            for ((change = 0; change < toggled_changes; change++)); do
                seen=$(looks)
                xdotool key "$( ((change % 2)) && echo Up || echo Down)"
                wait_for 60 more_looks "$seen" || break
            done
            ((change == toggled_changes)) || fail "frozen at settings change $((change + 1))"
        fi
        close_or_count
        wait "$program_pid" 2>/dev/null || true
        wait "$tracer_pid" 2>/dev/null || true
        ((frozen == 0)) || fail "$frozen of $toggled_starts starts frozen"
        echo "holder $row: $toggled_starts starts, $frozen frozen, $ignored closed only when asked twice;" \
            "$change of $toggled_changes settings changes"
        kill "$holder_pid" 2>/dev/null || true
        wait "$holder_pid" 2>/dev/null || true
        stop_sensor
        continue
    fi

    case $planted in
    start) start_program "$runs_as" ;;
    reapply) start_program "$runs_as" "${trace_opens[@]}" ;;
    probe)
        # Stopped at its first flock(), once it has looked at the lock paths:
        # a flock() stops a seccomp-filtered trace without the stop.
        start_program "$runs_as" strace -f -o "$work/strace.log" -e trace=flock \
            -e inject=flock:signal=SIGSTOP:when=1
        wait_for 120 grep -q 'stopped by SIGSTOP' "$work/strace.log" || fail "the program did not stop"
        hdb_locker
        wait_for 120 test -s "$run/held" || fail "the other program did not start"
        before=$(describe_lock)
        kill -CONT "$program_pid" ;;
    esac
    if [[ -z $program_pid ]]; then
        fail "the program did not start"
        stop_sensor
        continue
    fi
    # The window shows once the start-up, port opening included, is through;
    # the close afterwards is handled only if the event loop turns.
    window=$(find_window) || true
    if [[ -n $window && $planted == reapply ]]; then
        plant_at_reapply
        # Settings changes (the next baud rate, and back), each closing and
        # reopening the port, until one meets the plant.
        xdotool windowfocus --sync "$window" key Tab
        lock_inode() { stat -c %i "$lock" 2>/dev/null || true; }
        reopened_or_planted() {
            [[ -s $run/planted ]] || { lock_names "$program_pid" && [[ $(lock_inode) != "$1" ]]; }
        }
        for ((change = 0; change < 40; change++)); do
            [[ ! -s $run/planted ]] || break
            inode=$(lock_inode)
            xdotool key "$( ((change % 2)) && echo Up || echo Down)"
            wait_for 60 reopened_or_planted "$inode" || true
        done
        [[ -s $run/planted ]] || fail "the lock was never planted"
        before=$(describe_lock)
        # The reopen after the plant has read the planted lock.
        wait_for 60 grep -q 'LCK\.\.ttyS0", O_RDONLY' "$work/strace.log" || fail "no reopen met the planted lock"
    fi
    if [[ -z $window ]]; then
        fail "no window: the start-up blocked"
        kill -KILL "$program_pid" 2>/dev/null || true
    else
        case $expected in
        opens)
            lock_names "$program_pid" || fail "the port was not opened: $(describe_lock)"
            flock_is_taken || fail "the open port's flock() is not seen from outside" ;;
        keeps-off)
            ! lock_names "$program_pid" || fail "the port was opened over the holder"
            [[ $(describe_lock) == "$before" ]] || fail "the holder's lock changed: $before -> $(describe_lock)" ;;
        esac
        # Another program's lock that it took is still its own.
        if [[ -s $run/held && $(cat "$run/held") == held && $(describe_lock) != "$before" ]]; then
            fail "another user's live lock was lost: $before -> $(describe_lock)"
        fi
        close_window "$window" || fail "the window did not close: the event loop does not turn"
    fi
    wait "$program_pid" 2>/dev/null || true
    [[ -z $tracer_pid ]] || wait "$tracer_pid" 2>/dev/null || true
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
    [[ $row@signal =~ ${QUADRELINK_PORTLOCK_ROWS:-.} ]] || continue
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
