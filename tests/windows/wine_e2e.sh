#!/usr/bin/env bash
# The Windows program as a Windows user gets it (the zip, unpacked), run under
# Wine on a bare X server and wired to a quadrelink-sim process as COM1. Every
# row is driven from the keyboard and read from the window's pixels, as a
# person would see it: the caption, the icon, the circle's colour, the
# distance the sensor sent in the readout box, the port box moved to COM2 and
# back, a refused baud rate's message, two commands and their answers, a
# second copy on COM1, and the two ways Windows closes a program: WM_CLOSE
# (Alt+F4) and the end of the session (WM_ENDSESSION). What a screen reader
# hears through UI Automation is read from the log of a stand-in
# uiautomationcore.dll (uiautomationcore.c) that listens as one does.
#
# Run it inside tests/support/without-serial-ports: a fresh Wine prefix maps
# COM1 to /dev/ttyS0 (the system console on the machines that run the tests),
# so COM1 is mapped to the sensor before the program first starts, and the real
# devices are /dev/null here in any case.
#
# usage: wine_e2e.sh ZIP SIM WORKDIR FACTS   (FACTS: the build's window-facts)
# Exits 77 (skipped) only when Wine cannot start at all.
set -euo pipefail

zip=$(realpath "$1") sim=$2 work=$3
# Where the window's table puts things: the tab order, the boxes, the caption.
source "$4"
here=$(cd "$(dirname "$0")" && pwd)
for tool in wine wineserver x86_64-w64-mingw32-gcc-posix Xvfb xdotool xwd xprop tesseract python3; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (make windows installs it)"; exit 1; }
done

rm -rf "$work" && mkdir -p "$work"
source "$here/../e2e/common.sh"
read_window() { python3 "$here/readwindow.py" "$@"; }

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
# The prefix's wineserver and every Windows process in it end with the test.
trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT

python3 -m zipfile -e "$zip" "$work/unpacked"
exe=$(find "$work/unpacked" -name quadrelink.exe)
[[ -n $exe ]] || { echo "FAIL: no quadrelink.exe in $zip"; exit 1; }

start_xvfb "$work/xvfb.log"

sensor_log=$work/sensor.log port=$work/com1 distance=$((RANDOM % 8000 + 1000))
"$sim" --link "$port" --log "$sensor_log" --verbose --distance "$distance" \
    >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
wait_for 10 test -e "$port" || { echo "FAIL: the simulated sensor did not start"; exit 1; }

if ! timeout 120 wine wineboot --init >"$work/wineboot.log" 2>&1; then
    echo "SKIP: Wine cannot start here:"; tail -n 5 "$work/wineboot.log"
    exit 77
fi
# COM1 is the sensor; COM2 is no device at all (empty: Wine maps nothing).
wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$port" /f >/dev/null 2>&1
wine reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "" /f >/dev/null 2>&1
wineserver -k; wineserver -w
# The mapping takes effect as Wine starts again; checked before the program runs.
wine reg query 'HKLM\Software\Wine\Ports' >/dev/null 2>&1
[[ $(readlink "$WINEPREFIX/dosdevices/com1") == "$port" ]] ||
    { echo "FAIL: COM1 is $(readlink "$WINEPREFIX/dosdevices/com1"), not the sensor"; exit 1; }
[[ ! -e $WINEPREFIX/dosdevices/com2 ]] || { echo "FAIL: COM2 is a device"; exit 1; }
# The stand-in UI Automation core beside the program (where Qt 6.8 finds it)
# and in system32 (where Qt 6.4 looks); each copy logs beside itself.
x86_64-w64-mingw32-gcc-posix -O2 -shared -o "$work/uiautomationcore.dll" \
    "$here/uiautomationcore.c" -loleaut32
for dir in "$(dirname "$exe")" "$WINEPREFIX/drive_c/windows/system32"; do
    cp "$work/uiautomationcore.dll" "$dir/"
done
WINEDLLOVERRIDES+=";uiautomationcore=n"
uia_log() { cat "$(dirname "$exe")/uia.log" "$WINEPREFIX/drive_c/windows/system32/uia.log" 2>/dev/null || true; }
# said TEXT: how many notifications of TEXT were raised.
said() { grep -c -- "^notification .*: $1\$" <<<"$(uia_log)" || true; }

opened() { grep -c "port opened" "$work/sim.err" || true; }
closed() { grep -c "port closed" "$work/sim.err" || true; }
commands() { grep -c " $1\$" "$sensor_log" 2>/dev/null || true; }
# count_at_least N COUNTER [ARG]: the counter has reached N.
count_at_least() { (($("${@:2}") >= $1)); }
circle() { read_window colours "$1"; }  # "green N red M"
is_green() { [[ $(circle "$1") =~ ^green\ [1-9][0-9]*\ red\ 0$ ]]; }
is_red() { [[ $(circle "$1") =~ ^green\ 0\ red\ [1-9] ]]; }
keys() { xdotool key --delay 60 "$@"; }
fail() {
    echo "FAIL: $*"
    [[ -n ${window-} ]] && read_window save "$window" "$work/window.ppm" 2>/dev/null &&
        echo "the window: $work/window.ppm"
    exit 1
}

# start_program: a copy of the program; sets program_pid and window.
start_program() {
    wine "$exe" >>"$work/program.out" 2>&1 &
    program_pid=$!
    pids+=("$program_pid")
    window=$(timeout 60 xdotool search --sync --all --onlyvisible --pid "$program_pid" \
        --name "$(caption_pattern)" | head -n1) || true
    [[ -n $window ]] || fail "no window with the caption appeared"
    to_front "$window"
}
# No window manager runs: the test raises the window it works with and gives
# it the keyboard, as a click on it would.
to_front() { xdotool windowraise "$1" windowfocus --sync "$1"; }
# ended: the program's process has gone.
ended() { ! kill -0 "$program_pid" 2>/dev/null; }

start_program
first_pid=$program_pid first_window=$window

# The window as it opens: the caption with the maker, the version, today's
# date and weekday (C locale: English); the icon; the circle green on COM1.
caption=$(xdotool getwindowname "$window")
[[ $caption == "$caption_start"*"   $(date +%A)" ]] ||
    fail "caption: '$caption'"
echo "window: '$caption'"
# ICON1 is mostly dark blue (22,48,96); Wine's stand-in icon is not.
icon=$(read_window icon "$window" | tr '\n' ' ')
[[ $icon =~ ^32x32\ ([0-9]+),([0-9]+),([0-9]+) ]] &&
    ((BASH_REMATCH[1] < 60 && BASH_REMATCH[2] < 90 && BASH_REMATCH[3] > 60 &&
      BASH_REMATCH[3] < 140)) || fail "the window's icon is not ICON1's: $icon"
echo "icon: $icon(size, colour most pixels have)"
wait_for 20 is_green "$window" || fail "the circle is not green on COM1: $(circle "$window")"
(($(opened) == 1)) || fail "the sensor saw $(opened) opens"
echo "COM1: circle $(circle "$window"), the sensor saw the port opened"
# A screen reader starts: it asks the window for its UI Automation root.
wine rundll32 uiautomationcore.dll,AskForRoot "${caption_start%% *}" >>"$work/program.out" 2>&1
wait_for 10 eval 'grep -q "^root " <<<"$(uia_log)"' ||
    fail "UIA: the window did not answer for its root: $(uia_log | tail -n 2 | tr '\n' /)"

# The port box (focused at start) to 2: no such device, red; back to 1: green.
keys Down
wait_for 10 is_red "$window" || fail "COM2: the circle is not red: $(circle "$window")"
wait_for 10 count_at_least 1 closed || fail "COM2: the sensor did not see COM1 closed"
echo "COM2: circle $(circle "$window"), the sensor saw COM1 closed"
keys Up
wait_for 10 is_green "$window" || fail "back to COM1: the circle is not green: $(circle "$window")"
wait_for 10 count_at_least 2 opened || fail "back to COM1: the sensor saw no open"
echo "COM1 again: circle $(circle "$window"), the sensor saw the port opened"
wait_for 10 count_at_least 1 said "port open" || fail "UIA, focus in the port box: 'port open' not said"
(($(said "port closed") == 1)) || fail "UIA: 'port closed' said $(said "port closed") times"
echo "UIA, focus in the port box: 'port closed' said once, then 'port open'"

# Run (tabs on from the port box): the distance the sensor sends shows in
# the readout box; the readout goes blank at each tick, so it is read until it
# shows digits.
keys $(tabs Combo1_0 Command1) space
wait_for 10 count_at_least 5 commands ad || fail "Run: $(commands ad) distance queries reached the sensor"
# OCR reads inside the readout's border, and the response line with a margin
# around it (the regions measured to read best under Wine, whose menu bar
# differs from Qt's own on X11 by a pixel or two).
read -r x y w h <<<"$readout_rect"
readout_inside="$((x + 2)) $((y - 1)) $((w - 5)) $((h - 3))"
read -r x y w h <<<"$response_rect"
response_around="$((x - 4)) $((y - 12)) $((w + 7)) $((h + 18))"
readout() { read_window text "$window" eng $readout_inside 0123456789; }
shows_distance() { grep -qx "$distance" <<<"$(readout)"; }
wait_for 20 shows_distance || fail "Run: the sensor sent $distance, the readout shows '$(readout | tr '\n' /)'"
echo "Run: $(commands ad) queries, the sensor sent $distance, the readout shows $distance"
keys F5
wait_for 10 count_at_least 1 said "Absolute distance: $distance" || fail "UIA, F5: the distance not said"
(($(said "port open") == 1)) || fail "UIA: 'port open' said $(said "port open") times"
echo "UIA, F5: 'Absolute distance: $distance' said"
# Stop (the next button), so that the commands' answers are not read by polling.
keys $(tabs Command1 Command2) space
stopped() { local before; before=$(commands ad); sleep 1; (($(commands ad) == before)); }
wait_for 10 stopped || fail "Stop: the queries go on"

# Out with an unknown command, then with ID: each answer in the response box.
# Out reads the answer once, 150 ms after sending; an answer that Wine hands
# over later is not shown (as designed), so Out is pressed again, as a person
# would, up to five times.
response() { read_window text "$window" eng $response_around ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-; }
shows() { grep -qx -- "$1" <<<"$(response)"; }
out_until_shows() {
    local attempt
    for attempt in 1 2 3 4 5; do
        keys space
        wait_for 3 shows "$1" && return 0
    done
    return 1
}
keys $(tabs Command2 Text1) ctrl+a z z $(tabs Text1 Command3)
out_until_shows E01 || fail "Out zz: the response box shows '$(response | tr '\n' /)', not E01"
count_at_least 1 commands zz || fail "Out: zz did not reach the sensor"
echo "Out zz: the response box shows E01"
keys $(tabs Command3 Text1 shift+Tab) ctrl+a I D $(tabs Text1 Command3)
out_until_shows UC1000-30GM-IUR2-K-V15 ||
    fail "Out ID: the response box shows '$(response | tr '\n' /)'"
count_at_least 1 commands ID || fail "Out: ID did not reach the sensor"
echo "Out ID: the response box shows UC1000-30GM-IUR2-K-V15 ($(commands ID) ID sent)"
wait_for 10 count_at_least 1 said "Response: UC1000-30GM-IUR2-K-V15" || fail "UIA, Out ID: the model not said"
# The menu's only entry, About, from the keyboard (Alt, Return): shown, then hidden.
keys alt Return
wait_for 10 count_at_least 1 said "About panel shown" || fail "UIA: 'About panel shown' not said"
keys alt Return
wait_for 10 count_at_least 1 said "About panel hidden" || fail "UIA: 'About panel hidden' not said"
echo "UIA: the model said after Out ID; 'About panel shown', then 'hidden'"

# A baud rate the serial control refuses, typed into the baud box (tabs back
# from Out), applies with the next choice from a list (the parity box's
# next entry): the message box says «Недопустимо»; OK closes it and the port
# is open again with the last good settings.
keys $(tabs Command3 Combo1_1 shift+Tab)
keys ctrl+a 1 2 3 4 5 $(tabs Combo1_1 Combo1_2) Down
message_box() { xdotool search --onlyvisible --pid "$first_pid" | grep -vx "$window" | head -n1; }
has_message_box() { [[ -n $(message_box) ]]; }
wait_for 10 has_message_box || fail "baud 12345: no message box"
box=$(message_box)
size=$(xdotool getwindowgeometry "$box" | sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')
says_refused() { grep -q "Недопустимо" <<<"$(read_window text "$box" rus 0 0 $size)"; }
wait_for 10 says_refused ||
    fail "baud 12345: the message box says '$(read_window text "$box" rus 0 0 $size | tr '\n' /)'"
echo "baud 12345: the message box says Недопустимо"
keys Return
wait_for 10 eval '! has_message_box' || fail "baud 12345: OK did not close the message box"
wait_for 10 is_green "$window" || fail "after the message: the circle is not green"

# A second copy on COM1. Windows opens a COM port for one program only, so
# there the second copy is red; Wine does not: both programs hold the port,
# and the second one's circle is green. Alt+F4 (WM_CLOSE) ends it.
start_program
wait_for 20 is_green "$window" || fail "second copy: circle $(circle "$window") (Wine shares COM ports)"
echo "second copy on COM1: circle $(circle "$window") (Wine does not open COM ports exclusively)"
keys alt+F4
wait_for 20 ended || fail "second copy: Alt+F4 did not end it"

# Closing the first copy with Alt+F4 (WM_CLOSE): the sensor sees its port
# closed and the program ends.
program_pid=$first_pid window=$first_window
to_front "$window"
closes=$(closed)
keys alt+F4
wait_for 20 count_at_least $((closes + 1)) closed || fail "Alt+F4: the sensor did not see the port closed"
wait_for 20 ended || fail "Alt+F4: the program did not end"
echo "Alt+F4: the sensor saw the port closed, the program ended"

# The end of the session (WM_ENDSESSION, as at log-off or shut-down): Windows
# may end the program as soon as it has answered, so the port must be closed
# while it answers (Qt quits there, which closes the window). endsession.exe
# sends the two messages and then suspends the program: the sensor sees the
# port closed although the program never runs again.
x86_64-w64-mingw32-gcc-posix -O2 -o "$work/endsession.exe" "$here/endsession.c"
start_program
wait_for 20 is_green "$window" || fail "third start: the circle is not green"
closes=$(closed)
timeout 60 wine "$work/endsession.exe" "${caption_start%% *}" >"$work/endsession.out" 2>&1 ||
    fail "end of session: $(tail -n 3 "$work/endsession.out")"
wait_for 20 count_at_least $((closes + 1)) closed ||
    fail "end of session: the sensor did not see the port closed"
kill -0 "$program_pid" || fail "end of session: the program ended, it was to be suspended"
echo "end of session: the sensor saw the port closed while the program was held after its answer"
echo "PASS: the Windows program under Wine: caption, icon, COM1 green, COM2 red, the distance" \
    "sent shown, the refused setting's message, command answers, a second copy, two ways to close," \
    "and what a screen reader hears through UI Automation"
