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

# The window's caption as a pattern for `xdotool search --name`: its fixed
# start, from the build's window facts (sourced first), dots taken literally.
caption_pattern() { echo "${caption_start//./\\.}"; }

# stop_of NAME: where the control of that object name is in the tab order.
stop_of() {
    local i=0 stop
    for stop in $tab_stops; do
        [[ $stop == "$1" ]] && { echo "$i"; return; }
        i=$((i + 1))
    done
    return 1
}
# tabs FROM TO [shift+Tab]: the keys that move the focus from one control to
# another, forward with Tab or back with shift+Tab.
tabs() {
    local from to count key=${3:-Tab}
    local n
    from=$(stop_of "$1") && to=$(stop_of "$2") || return 1
    n=$(wc -w <<<"$tab_stops")
    count=$(((to - from + n) % n))
    [[ $key == Tab ]] || count=$(((from - to + n) % n))
    for ((; count > 0; count--)); do echo "$key"; done
}

# start_xvfb LOG: a bare X server on a display that the server chose itself,
# so that no other test's server can share it; sets DISPLAY and xvfb_pid.
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/with-xvfb"
start_xvfb() {
    xvfb_start "$1" || { echo "FAIL: Xvfb did not start"; exit 1; }
    pids+=("$xvfb_pid")
}
