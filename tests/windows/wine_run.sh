#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, for ctest (the build's cross-compiling emulator):
#   wine_run.sh PROGRAM.exe ARGS...
# The programs that open windows need an X server in DISPLAY (scripts/windows.sh test starts one). A run
# that takes longer than TESSELUNE_WINE_TIMEOUT seconds (default 300) is ended.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine_env.sh"
use_wine_prefix tests
# The output goes through a file: a Wine process that the program starts and that outlives it (the desktop
# process, say) then holds the file, not the pipe that ctest waits on.
output=$(mktemp)
trap 'rm -f "$output"' EXIT
run() {
    code=0
    timeout -k 10 "${TESSELUNE_WINE_TIMEOUT:-300}" wine "$@" </dev/null >"$output" 2>&1 || code=$?
    cat "$output"
}
run "$@"
# A fault in the program ends it with its exception's code; a Unix signal (SIGSEGV, SIGBUS, SIGABRT) is Wine's
# own loader dying (seen once in CI, as a test that had passed exited on a fresh prefix). That run says
# nothing of the program, so it runs once more and the second run decides.
case "$code" in
    134 | 135 | 139)
        echo "wine_run.sh: Wine itself ended on signal $((code - 128)); running the program once more"
        run "$@"
        ;;
esac
exit "$code"
