#!/usr/bin/env bash
# The command line of quorvin-serve, natively and as quorvin-serve.exe under Wine: --help and
# --version answer on standard output with status 0 wherever they stand, anything unknown gives
# the usage on standard error and status 2; and the manual page packaging/quorvin-serve.1 says
# what --help says, and documents the exit statuses and the signals.
# Build folders: QUORVIN_NATIVE_BUILD (default build/native; set empty to test only the Windows
# program), QUORVIN_WIN_BUILD (default build/win64). Every run is bounded.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
native_build="${QUORVIN_NATIVE_BUILD-build/native}"
win_build="${QUORVIN_WIN_BUILD:-build/win64}"
manual=packaging/quorvin-serve.1

work="$(mktemp -d /tmp/quorvin-command-line.XXXXXX)"
trap 'rm -rf "$work"' EXIT
source "$root/scripts/lib/check.sh"
mkdir -p "$work/site"

# Runs the program with the arguments; leaves $work/out, $work/err (without CRs) and $status.
run() { # LIMIT PROGRAM... -- ARGUMENTS...
    local limit="$1"
    shift
    timeout "$limit" "$@" >"$work/out.raw" 2>"$work/err.raw" </dev/null
    status=$?
    tr -d '\r' <"$work/out.raw" >"$work/out"
    tr -d '\r' <"$work/err.raw" >"$work/err"
}

first_line_is() { # FILE TEXT
    [ "$(head -1 "$1")" = "$2" ]
}

usage_line='usage: quorvin-serve [--port N] FOLDER'

exercise() { # LABEL LIMIT RUNNER...
    local label="$1" limit="$2"
    shift 2
    local arguments
    for arguments in "--help" "--port 8080 --help" "$work/site --help"; do
        # shellcheck disable=SC2086 # the arguments are split on purpose
        run "$limit" "$@" $arguments
        check "$label: '$arguments' exits with status 0 (got $status)" test "$status" -eq 0
        check "$label: '$arguments' starts with the usage on standard output" \
            first_line_is "$work/out" "$usage_line"
        check "$label: '$arguments' writes nothing on standard error" test ! -s "$work/err"
    done
    run "$limit" "$@" --help
    check "$label: --help has a one-line description second" \
        grep -qx 'Serves FOLDER as a static web site on http://127.0.0.1:4321/ until interrupted.' \
        <(sed -n 2p "$work/out")
    cp "$work/out" "$work/$label-help"

    for arguments in "--version" "$work/site --version" "--version --bogus"; do
        # shellcheck disable=SC2086
        run "$limit" "$@" $arguments
        check "$label: '$arguments' exits with status 0 (got $status)" test "$status" -eq 0
        check "$label: '$arguments' prints Quorvin v20.08.14 alone ($(head -c 80 "$work/out"))" \
            test "$(cat "$work/out")" = "Quorvin v20.08.14"
        check "$label: '$arguments' writes nothing on standard error" test ! -s "$work/err"
    done

    for arguments in "--bogus" "--bogus $work/site" "$work/site --verbose" "--HELP" "--help=yes" \
        "--" "$work/site $work/site"; do
        # shellcheck disable=SC2086
        run "$limit" "$@" $arguments
        check "$label: '$arguments' exits with status 2 (got $status)" test "$status" -eq 2
        check "$label: '$arguments' gives the usage on standard error" \
            first_line_is "$work/err" "$usage_line"
        check "$label: '$arguments' writes nothing on standard output" test ! -s "$work/out"
    done
}

# Words and spaces only, every run of white space one space: a page and a help text compare so.
flatten() {
    tr -s ' \t\n' '   ' | sed 's/^ //; s/ $//'
}

check_manual() { # HELP-FILE
    local help="$1" page="$work/page"
    if ! command -v man >/dev/null; then
        check "man is installed (apt-get install man-db)" false
        return
    fi
    sed -e 's/@VERSION@/20.08.14/g' -e 's/@DATE@/2020-08-14/g' "$manual" >"$work/quorvin-serve.1"
    LC_ALL=C MANWIDTH=80 man -l "$work/quorvin-serve.1" 2>"$work/man.err" | col -b >"$page"
    check "the manual page renders without complaint" test ! -s "$work/man.err"
    flatten <"$page" >"$work/page.flat"
    check "--help gave lines to look for in the manual page" test "$(grep -c . "$help")" -ge 2
    local line
    while IFS= read -r line; do
        [ -n "$line" ] || continue
        line="$(flatten <<<"${line#usage: }")"
        check "the manual page says: $line" grep -qF -- "$line" "$work/page.flat"
    done <"$help"
    check "the manual page names the options --help names, no others" \
        test "$(grep -o -- '--[a-z-]*' "$help" | sort -u)" = \
        "$(sed -n '/^OPTIONS/,/^[A-Z]/p' "$page" | grep -o -- '--[a-z-]*' | sort -u)"
    local section
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' SIGNALS; do
        check "the manual page has the section $section" grep -qx "$section" "$page"
    done
    local exits
    exits="$(sed -n '/^EXIT STATUS/,/^SIGNALS/p' "$page" | grep -oE '^ {7}[0-9]+ ' | tr -d ' ' | paste -sd,)"
    check "the manual page gives the exit statuses 0, 1 and 2 (found $exits)" test "$exits" = 0,1,2
    check "the manual page tells what SIGINT does" \
        grep -qE '^ +SIGINT' <(sed -n '/^SIGNALS/,/^[A-Z]/p' "$page")
}

native="$native_build/src/app/quorvin-serve"
if [ -z "$native_build" ]; then
    echo "native program not tested"
elif [ -x "$native" ]; then
    exercise native 10 "$native"
    check_manual "$work/native-help"
else
    check "native program $native exists" false
fi

windows="$win_build/src/app/quorvin-serve.exe"
if [ -f "$windows" ]; then
    exercise wine 60 scripts/wine-run "$windows"
    [ -z "$native_build" ] && check_manual "$work/wine-help"
    [ -f "$work/native-help" ] && check "wine: --help says what the native program says" \
        cmp -s "$work/wine-help" "$work/native-help"
else
    check "Windows program $windows exists" false
fi

echo "serve_command_line.sh: $((checks - failures)) of $checks checks passed"
[ "$failures" -eq 0 ]
