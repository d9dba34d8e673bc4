# shellcheck shell=bash
# Sourced by the wine stages' test scripts: a check says "ok: what" or
# "FAILED: what" and is counted; summary prints the counts under the name
# the script set in checks_name first, with an optional note.
passed=0
failed=0
check() { # check "what" command...
    local what="$1"
    shift
    if "$@"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        echo "FAILED: $what"
        failed=$((failed + 1))
    fi
}
summary() { echo "$checks_name: $passed passed, $failed failed${1:-}"; }
