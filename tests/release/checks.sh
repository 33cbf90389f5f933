# checks.sh - sourced by the release tests: named checks that report and count failures, and the
# Wine helpers of wine/wine-env.sh (Xvfb, throw-away prefixes, clean-up).
. "$(dirname "${BASH_SOURCE[0]}")/../../wine/wine-env.sh"
CHECK_FAILED=0
CHECK_COUNT=0

# check WHAT COMMAND... - passes when COMMAND succeeds; returns as COMMAND did.
check() {
    local what=$1; shift
    CHECK_COUNT=$((CHECK_COUNT + 1))
    if "$@"; then echo "ok: $what"; return 0; fi
    echo "FAIL: $what"
    CHECK_FAILED=$((CHECK_FAILED + 1))
    return 1
}

# check_eq WHAT ACTUAL EXPECTED
check_eq() {
    CHECK_COUNT=$((CHECK_COUNT + 1))
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: got '$2', expected '$3'"
        CHECK_FAILED=$((CHECK_FAILED + 1))
    fi
}

# Ends the test: exit status 1 when any check failed.
finish() {
    echo "$((CHECK_COUNT - CHECK_FAILED)) passed, $CHECK_FAILED failed"
    [ "$CHECK_FAILED" -eq 0 ] && exit 0
    exit 1
}
