# Shared by the end-to-end scripts (sourced, bash): background processes that
# end with the script, waiting with a deadline, and a private X server.

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

# start_xvfb LOG: a bare X server on a display of its own; sets DISPLAY and
# xvfb_pid.
start_xvfb() {
    local display=:$((100 + RANDOM % 400))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$1" 2>&1 &
    xvfb_pid=$!
    pids+=("$xvfb_pid")
    export DISPLAY=$display
    wait_for 10 xdotool getdisplaygeometry >/dev/null 2>&1 || { echo "FAIL: Xvfb did not start"; exit 1; }
}
