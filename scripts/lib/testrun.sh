# Builds, counts and sums up test runs; sourced by the test commands.
# The caller sets `logs` (a folder for one log per step) and `jobs`, then uses configure_and_build,
# run_suite, run_gtest, run_check and note_failure, and ends with print_summary, whose status is
# the run's verdict.

passed=0
failed=0
problems=()
declare -A label_passed label_failed
labels=()

note_failure() {
    problems+=("$1")
    failed=$((failed + 1))
}

configure_and_build() { # NAME CMAKE-ARGS...
    local name="$1"
    shift
    echo "== build $name"
    if ! cmake -S . -B "build/$name" -G Ninja "$@" >"$logs/$name-configure.log" 2>&1; then
        cat "$logs/$name-configure.log"
        note_failure "configure $name"
        return 1
    fi
    if ! ninja -C "build/$name" -j "$jobs" >"$logs/$name-build.log" 2>&1; then
        grep -E 'error|FAILED' "$logs/$name-build.log" | head -40
        note_failure "build $name"
        return 1
    fi
    if grep -q 'warning:' "$logs/$name-build.log"; then
        grep 'warning:' "$logs/$name-build.log" | head -20
        note_failure "warnings in $name"
    fi
}

# Why a binary gave no test summary: the last line it wrote that says something.
start_failure_reason() { # LOG
    grep -v '^[[:space:]]*$' "$1" | tail -1 | cut -c1-160
}

# Runs one GoogleTest binary and adds its counts. Its output decides, not only its status: a
# crash under emulation can end a process with no failed test and no telling status. LABEL RUNNER... BINARY
run_gtest() {
    local label="$1"
    shift
    local binary="${!#}"
    local log="$logs/$label-$(basename "$binary").log"
    # Into a file, not a pipe: processes the program leaves behind (Wine's services) keep its
    # output open and would hold a pipe's reader for ever.
    "$@" >"$log.raw" 2>&1
    local status=$?
    tr -d '\r' <"$log.raw" >"$log"
    rm -f "$log.raw"
    local ok bad
    ok=$(sed -n 's/^\[  PASSED  \] \([0-9][0-9]*\) tests\{0,1\}\..*/\1/p' "$log" | tail -1)
    bad=$(sed -n 's/^\[  FAILED  \] \([0-9][0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$log" | tail -1)
    local finished=0
    grep -qE '^\[==========\] [0-9]+ tests? from [0-9]+ test (suite|case)s? ran\.' "$log" && finished=1
    [[ "$ok" =~ ^[0-9]+$ ]] || ok=0
    [[ "$bad" =~ ^[0-9]+$ ]] || bad=0
    passed=$((passed + ok))
    failed=$((failed + bad))
    [ -n "${label_passed[$label]+set}" ] || labels+=("$label")
    label_passed[$label]=$((${label_passed[$label]:-0} + ok))
    label_failed[$label]=$((${label_failed[$label]:-0} + bad))
    printf '   %-8s %-28s %4d passed, %d failed\n' "$label" "$(basename "$binary")" "$ok" "$bad"
    if [ "$finished" -eq 0 ]; then
        grep -E '^\[ RUN      \]' "$log" | tail -1
        note_failure "$label $(basename "$binary") did not finish (status $status): $(start_failure_reason "$log")"
    elif [ "$status" -ne 0 ]; then
        grep -E '^\[  FAILED  \]|Failure|Error|ERROR|Sanitizer' "$log" | head -30
        [ "$bad" -eq 0 ] && note_failure "$label $(basename "$binary") exited with $status" ||
            problems+=("$label $(basename "$binary")")
    elif [ "$bad" -ne 0 ]; then
        problems+=("$label $(basename "$binary") reported failures with status 0")
    fi
}

run_suite() { # LABEL BUILD-DIR [RUNNER...]
    local label="$1" dir="$2"
    shift 2
    local binary found=0
    for binary in $(find "$dir/tests" -type f \( -name '*_tests' -o -name '*_tests.exe' \) | sort); do
        found=1
        run_gtest "$label" "$@" "$binary"
    done
    [ "$found" -eq 1 ] || note_failure "$label: no test binaries in $dir"
}

# Per-label counts, every problem, and the total line; false when anything failed.
print_summary() {
    local label problem
    echo
    for label in "${labels[@]}"; do
        printf '%-8s %5d passed, %d failed\n' "$label:" "${label_passed[$label]}" "${label_failed[$label]}"
    done
    for problem in "${problems[@]}"; do
        echo "FAILED: $problem"
    done
    echo "total: $passed passed, $failed failed"
    [ "$failed" -eq 0 ] && [ ${#problems[@]} -eq 0 ]
}

# Runs one command that passes or fails as a whole and counts it once. NAME LOG COMMAND...
run_check() {
    local name="$1" log="$2"
    shift 2
    if "$@" >"$log" 2>&1; then
        passed=$((passed + 1))
        tail -3 "$log"
    else
        tail -30 "$log"
        note_failure "$name"
    fi
}

# Windows programs open links through Wine's winebrowser, which the test prefixes point at the
# xdg-open and xdg-email found on PATH (scripts/wine-run). with_fake_openers runs a command with
# tests/app/fake-bin first on PATH: its xdg-open and xdg-email record each link in the file named
# by QUORVIN_OPENED_URLS, which the tests read; every other browser or mail program name Wine
# tries is a fake that records in QUORVIN_STRAY_OPENS instead, which check_no_real_opener reports.
# fake_opener_env holds the same settings as arguments of env, for runners that take no function.
start_fake_openers() {
    opened_urls="$(mktemp)"
    stray_opens="$(mktemp)"
    fake_opener_env=(PATH="$root/tests/app/fake-bin:$PATH" QUORVIN_OPENED_URLS="$opened_urls"
        QUORVIN_STRAY_OPENS="$stray_opens")
}

stop_fake_openers() {
    rm -f "$opened_urls" "$stray_opens"
}

with_fake_openers() { # COMMAND...
    env "${fake_opener_env[@]}" "$@"
}

check_no_real_opener() {
    [ -s "$stray_opens" ] || return 0
    echo "a link went past the test openers, towards a real browser or mail program:"
    cat "$stray_opens"
    note_failure "a real browser or mail program was reached: $(head -1 "$stray_opens")"
}
