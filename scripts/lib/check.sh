# One named check of a script test: prints "ok" or "FAIL" with its description and counts both.
# Sourced by tests/*.sh; the caller reports "$checks" and "$failures" at the end.
failures=0
checks=0
check() { # DESCRIPTION COMMAND...
    local what="$1"
    shift
    checks=$((checks + 1))
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failures=$((failures + 1))
        return 1
    fi
}
