# What the tests of the show in a real window share; sourced by them, with $work a scratch folder of theirs,
# $show_pid the show's process and fail() their way of failing.

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/servers.sh"

# await_window [SECONDS]: waits until the show's window is on the screen; prints its id.
await_window() {
    timeout "${1:-60}" xdotool search --sync --onlyvisible --name '^Tesselune$' | head -n 1
}

# await_exit [SECONDS]: waits for the show to end by itself; its exit code is left in $code.
await_exit() {
    code=0
    timeout "${1:-60}" tail --pid="$show_pid" -f /dev/null || fail "the show did not end"
    wait "$show_pid" || code=$?
    show_pid=""
}
