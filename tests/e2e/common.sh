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

# start_xvfb LOG: a bare X server on a display that the server chose itself,
# so that no other test's server can share it; sets DISPLAY and xvfb_pid.
source "$(dirname "${BASH_SOURCE[0]}")/../../tools/with-xvfb"
start_xvfb() {
    xvfb_start "$1" || { echo "FAIL: Xvfb did not start"; exit 1; }
    pids+=("$xvfb_pid")
}
