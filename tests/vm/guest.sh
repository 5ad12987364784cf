#!/bin/bash
# Inside the guest (see vm_test.sh): the real program on a private X server,
# operated from the keyboard alone as an operator would. Port 2 is a 16550
# UART, port 33 an FTDI USB serial adapter; simulated sensors answer on the
# host. What the program programmed into the devices is read from QEMU's
# trace on the host's side (WORK/trace.log, seen through the shared root).
# Prints a line per step and ends with status 0 when all held.
#
# usage: guest.sh QUADRELINK WORK FACTS   (FACTS: the build's window-facts)
set -uo pipefail

program=$1 work=$2
# Where the window's table puts things: tab stops, the boxes' lists, the
# rectangles of the readout and the circle, the caption.
source "$3"
source "$(dirname "$0")/../e2e/common.sh"
trace=$work/trace.log
fail() {
    echo "FAIL: $*"
    exit 1
}

# The settings boxes' lists and where each box starts; where each control
# is in the tab order, which starts in the port box.
lists=() current=()
for ((box = 0; ; box++)); do
    items=box${box}_items start=box${box}_start
    [[ -v $items ]] || break
    lists+=("${!items}") current+=("${!start}")
done
read -ra stops <<<"$tab_stops"
run_button=$(stop_of Command1) focus=0

# Moves the focus with Tab to stop $1.
tab_to() {
    local presses=$((($1 - focus + ${#stops[@]}) % ${#stops[@]}))
    ((presses == 0)) || xdotool key --delay 30 $(printf 'Tab %.0s' $(seq "$presses"))
    focus=$1
}

# Chooses $2 in box $1 with the arrow keys, as a choice from the list.
choose() {
    local box=$1 value=$2 index=0 item
    for item in ${lists[box]}; do
        [[ $item == "$value" ]] && break
        index=$((index + 1))
    done
    local steps=$((index - current[box])) key=Down
    ((steps >= 0)) || { steps=$((-steps)) key=Up; }
    ((steps == 0)) && return
    tab_to "$(stop_of "Combo1_$box")"
    xdotool key --delay 30 $(printf "$key %.0s" $(seq "$steps"))
    current[box]=$index
}

# The program holds device $1 open (a removed device shows as "(deleted)").
holds() { ls -l "/proc/$pid/fd" 2>/dev/null | grep -q " -> $1\( (deleted)\)\?\$"; }

# The colour of the port-state circle in a screenshot of the window: the only
# pure red (255,0,0) or green (0,192,0) in the circle's rectangle. Reads the
# XWD file: a big-endian header, a colour map, then 32-bit pixels (B G R x).
shot=/tmp/window.xwd
screenshot() { xwd -silent -id "$window" -out "$shot"; }
header() { od -An -tu4 --endian=big -j $(($1 * 4)) -N 4 "$shot" | tr -d ' '; }
# rows $1 to $2 of the screenshot, one line of hex bytes per row
rows() {
    local start=$(($(header 0) + $(header 19) * 12)) line=$(header 12)
    od -An -v -tx1 -w"$line" -j $((start + $1 * line)) -N $((($2 - $1 + 1) * line)) "$shot"
}
read -r circle_x circle_y circle_w circle_h <<<"$circle_rect"
read -r readout_x readout_y readout_w readout_h <<<"$readout_rect"
circle() {
    screenshot || return 1
    rows "$circle_y" $((circle_y + circle_h - 1)) | awk -v from="$circle_x" -v to=$((circle_x + circle_w)) '{
        for (x = from; x < to && x * 4 + 3 <= NF; x++) {
            rgb = $(x * 4 + 3) $(x * 4 + 2) $(x * 4 + 1)
            if (rgb == "ff0000") { print "red"; exit }
            if (rgb == "00c000") { print "green"; exit }
        }
    }'
}
circle_is() { [[ $(circle) == "$1" ]]; }
# The distance readout's pixels.
readout() {
    screenshot && rows "$readout_y" $((readout_y + readout_h - 1)) |
        cut -c $((readout_x * 12 + 1))-$(((readout_x + readout_w) * 12)) | md5sum
}

queries() { grep -c ' ad$' "$work/sensor$1.log" 2>/dev/null || true; }
# $1 more queries reach the sensor on port $2 from now on.
polls() {
    local target=$(($(queries "$2") + $1))
    wait_for 120 eval '(($(queries '"$2"') >= target))'
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }

echo "== $SECONDS s: guest: $(uname -r), $(nproc) CPU, $(awk '/MemTotal/ {print int($2 / 1024)}' /proc/meminfo) MiB"
export XDG_RUNTIME_DIR=/tmp/runtime DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
# Port 1 is the legacy first UART; no device answers there, and none should.
mount --bind /dev/null /dev/ttyS0
start_xvfb /tmp/xvfb.log

started=$SECONDS
env --default-signal=INT,HUP,TERM "$program" >/tmp/quadrelink.out 2>&1 &
pid=$!
pids+=("$pid")
window=$(timeout 120 xdotool search --all --sync --onlyvisible --pid "$pid" --name "$(caption_pattern)" | head -n1)
[[ -n $window ]] || fail "no window"
xdotool windowfocus --sync "$window"
echo "window after $((SECONDS - started)) s; circle $(circle) on port 1 (nothing there)"

echo "== $SECONDS s: port 2, a 16550 UART, at the start-up settings"
choose 0 2
wait_for 60 holds /dev/ttyS1 || fail "port 2 did not open"
wait_for 60 circle_is green || fail "the circle is $(circle) with port 2 open"
tab_to $run_button
xdotool key space
polls 10 2 || fail "only $(queries 2) queries reached the sensor on port 2"
declare -A seen
for _ in $(seq 20); do
    seen[$(readout)]=1
    ((${#seen[@]} >= 3)) && break
done
# Blank between a query and its answer, then the reading: three different
# pictures mean at least two different readings were shown.
((${#seen[@]} >= 3)) || fail "the readout showed ${#seen[@]} different pictures in 20 screenshots"
echo "ok: green, $(queries 2) queries answered, ${#seen[@]} different readouts seen"
echo "UART at 1200,n,8,1: $(grep '^serial_update_parameters' "$trace" | tail -n1)"

# Each row: the choices in the boxes, then what the device must show. The
# 16550 has no mark or space of its own in QEMU's trace: mark shows as odd
# and space as even. With 5 data bits the 2-stop-bit choice is 1.5 stop bits
# on the line, shown as 2. No row is 9600,n,8,1: the kernel's own settings,
# which the UART holds between open() and the program's, would match it.
uart_rows=(
    "110,e,7,1    baudrate=110 parity='E' data=7 stop=1"
    "300,o,7,2    baudrate=300 parity='O' data=7 stop=2"
    "600,n,5,1    baudrate=600 parity='N' data=5 stop=1"
    "2400,e,6,2   baudrate=2400 parity='E' data=6 stop=2"
    "4800,m,8,1   baudrate=4800 parity='O' data=8 stop=1"
    "9600,s,7,1   baudrate=9600 parity='E' data=7 stop=1"
    "14400,n,8,2  baudrate=14400 parity='N' data=8 stop=2"
    "19200,o,7,2  baudrate=19200 parity='O' data=7 stop=2"
    "28800,e,5,2  baudrate=28800 parity='E' data=5 stop=2"
    "38400,n,6,1  baudrate=38400 parity='N' data=6 stop=1"
    "57600,o,8,1  baudrate=57600 parity='O' data=8 stop=1"
    "115200,e,8,2 baudrate=115200 parity='E' data=8 stop=2"
)
last_uart() { grep '^serial_update_parameters' "$trace" | tail -n1 | cut -d' ' -f2-; }
# The FTDI adapter knows no 5 or 6 data bits, nor mark or space in QEMU, and
# its clock divider makes 57600 baud 57553.
usb_rows=(
    "9600,o,7,1   9600 O 7 1"
    "57600,e,8,2  57553 E 8 2"
    "1200,n,8,1   1200 N 8 1"
)
last_usb() {
    local baud data
    baud=$(grep '^usb_serial_set_baud' "$trace" | tail -n1 | awk '{print $NF}')
    data=$(grep '^usb_serial_set_data' "$trace" | tail -n1 | sed -E 's/.*parity (.), data bits ([0-9]+), stop bits ([0-9]+).*/\1 \2 \3/')
    echo "$baud $data"
}

# Chooses each row's settings and waits until the device holds them with the
# port open again.
check_rows() {
    local device=$1 reader=$2 row settings expected
    shift 2
    for row in "$@"; do
        read -r settings expected <<<"$row"
        IFS=, read -r baud parity data stop <<<"$settings"
        choose 1 "$baud"
        choose 2 "$parity"
        choose 3 "$data"
        choose 4 "$stop"
        at_row() { holds "$device" && [[ $($reader) == "$expected" ]]; }
        wait_for 60 at_row || fail "$settings: the device shows '$($reader)', expected '$expected'"
        echo "ok: $settings -> $expected"
    done
}

echo "== $SECONDS s: every line setting reaches the UART"
check_rows /dev/ttyS1 last_uart "${uart_rows[@]}"

echo "== $SECONDS s: port 33, a USB serial adapter"
wait_for 60 test -e /dev/ttyUSB0 || fail "no /dev/ttyUSB0"
tab_to 0
xdotool key ctrl+a
xdotool type --delay 30 33
check_rows /dev/ttyUSB0 last_usb "${usb_rows[@]}"
wait_for 60 circle_is green || fail "the circle is $(circle) with port 33 open"
polls 10 33 || fail "only $(queries 33) queries reached the sensor on port 33"
echo "ok: polling port 33, $(queries 33) queries answered"

echo "== $SECONDS s: the adapter unplugged while polling"
echo "VM-REQUEST unplug"
wait_for 60 bash -c '! test -e /dev/ttyUSB0' || fail "the adapter was not unplugged"
gone=$(date +%s%N)
wait_for 60 eval '! holds /dev/ttyUSB0' || fail "the program holds the removed adapter open"
closed=$(date +%s%N)
wait_for 60 circle_is red || fail "the circle stays $(circle) after the unplug"
red=$(date +%s%N)
[[ ! -e /run/lock/LCK..ttyUSB0 ]] || fail "the lock file remains after the unplug"
ticks=$(cpu_ticks)
sleep 3 # a window of time measured, not a wait for the program
ticks=$(($(cpu_ticks) - ticks))
# A loop on the dead descriptor takes the whole CPU: 300 ticks in 3 s.
((ticks < 150)) || fail "the program took $ticks CPU ticks in 3 s after the unplug"
kill -0 "$pid" || fail "the program ended after the unplug"
echo "ok: after the node went, port closed within $(((closed - gone) / 1000000)) ms, circle seen red" \
    "within $(((red - gone) / 1000000)) ms; no lock file, $ticks CPU ticks (of $(getconf CLK_TCK)/s)" \
    "in 3 s, still running"

echo "== $SECONDS s: the adapter plugged back in"
echo "VM-REQUEST replug"
wait_for 60 test -e /dev/ttyUSB0 || fail "the adapter did not come back"
# Any choice reopens the port.
choose 4 "$([[ ${current[4]} == 0 ]] && echo 2 || echo 1)"
wait_for 60 holds /dev/ttyUSB0 || fail "port 33 did not reopen"
wait_for 60 circle_is green || fail "the circle is $(circle) after the replug"
polls 10 33 || fail "polling did not resume on port 33"
echo "ok: green, polling again"

echo "== $SECONDS s: SIGTERM"
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
((status == 143)) || fail "exit status $status after SIGTERM, expected 143"
[[ ! -e /run/lock/LCK..ttyUSB0 ]] || fail "the lock file remains after SIGTERM"
echo "ok: exit status 143, no lock file"
echo "PASS: all steps in $((SECONDS - started)) s"
