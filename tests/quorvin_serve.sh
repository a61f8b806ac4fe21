#!/usr/bin/env bash
# Runs quorvin-serve natively and quorvin-serve.exe under Wine: the start line on the port that
# --port names, a fetch, the usage, bad port and "Not a folder - " errors, a second instance on a
# port in use, and Ctrl-C (natively).
# Build folders: QUORVIN_NATIVE_BUILD (default build/native; set empty to test only the Windows
# program), QUORVIN_WIN_BUILD (default build/win64). Every wait is bounded.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
native_build="${QUORVIN_NATIVE_BUILD-build/native}"
win_build="${QUORVIN_WIN_BUILD:-build/win64}"

work="$(mktemp -d /tmp/quorvin-serve-test.XXXXXX)"
site="$work/my site"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

source "$root/scripts/lib/check.sh"

mkdir -p "$site/docs"
printf 'hello from the test site' >"$site/hello.txt"
printf 'guide' >"$site/docs/guide.txt"
printf 'secret' >"$work/secret.txt"
# Links made here, so that the Windows program meets them too (Wine shows them through Z:).
ln -s "$work" "$site/outside"
ln -s "$work/secret.txt" "$site/secret-link.txt"
ln -s "$site/docs" "$site/inside"

# A request over bash's own TCP support; HTTP/1.0, so the server closes after answering.
fetch() { # PORT TARGET [HOST]
    local port="$1" target="$2" host="${3:-127.0.0.1}"
    (
        exec 3<>"/dev/tcp/127.0.0.1/$port" || exit 1
        printf 'GET %s HTTP/1.0\r\nHost: %s\r\n\r\n' "$target" "$host" >&3
        timeout 10 cat <&3
    ) 2>/dev/null | tr -d '\r'
}

# Waits until the file holds a line matching the pattern; false after SECONDS.
wait_for_line() { # FILE PATTERN SECONDS
    local deadline=$((SECONDS + $3))
    while [ "$SECONDS" -lt "$deadline" ]; do
        grep -qE "$2" "$1" 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# Waits until the port accepts connections; false after SECONDS.
wait_for_port() { # PORT SECONDS
    local deadline=$((SECONDS + $2))
    while [ "$SECONDS" -lt "$deadline" ]; do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

port_is_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Below the ephemeral ranges of Linux (32768 up) and Windows (49152 up), so that no client
# connection of another test holds the port in TIME-WAIT.
pick_port() {
    local port
    for _ in $(seq 1 50); do
        port=$((20000 + RANDOM % 12000))
        if port_is_free "$port"; then
            echo "$port"
            return 0
        fi
    done
    return 1
}

# Runs one full round against a program. LABEL FOLDER-ARG TIMEOUT RUNNER...
exercise() {
    local label="$1" folder="$2" limit="$3"
    shift 3
    local out="$work/$label.out" err="$work/$label.err" port status
    port="$(pick_port)" || {
        check "$label: a free port" false
        return
    }
    (ulimit -Sn 256 && exec "$@" --port "$port" "$folder") >"$out" 2>"$err" &
    local pid=$!
    pids+=("$pid")
    local started="started on port: $port at: http://127\.0\.0\.1:$port/ serving: "
    check "$label: start line" wait_for_line "$out" "$started" "$limit"
    local line
    line="$(tr -d '\r' <"$out" | grep -E "$started" | head -1)"
    echo "     $line"
    check "$label: start line names the folder quoted, the time and the pid" \
        grep -qE "^Quorvin v20\.08\.14 ${started}\"$(printf '%s' "$folder" | sed 's/[\\.]/\\&/g')\" time: [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2} pid: [0-9]+$" <<<"$line"
    check "$label: listening" wait_for_port "$port" "$limit" || cat "$err"
    local reply
    reply="$(fetch "$port" /hello.txt)"
    check "$label: fetch a file" grep -q '^hello from the test site$' <<<"$reply"
    check "$label: fetch has its content type" grep -q '^content-type: text/plain$' <<<"$reply"
    reply="$(fetch "$port" /docs/)"
    check "$label: listing of a subfolder" grep -q 'href="/docs/guide.txt">guide.txt</a>' <<<"$reply"
    reply="$(fetch "$port" /%2e%2e/secret.txt)"
    check "$label: nothing beside the folder" grep -q '^HTTP/1.1 404 Not Found$' <<<"$reply"
    reply="$(fetch "$port" /outside/secret.txt)"
    check "$label: a folder link out of the folder leads nowhere" grep -q '^HTTP/1.1 404 Not Found$' <<<"$reply"
    reply="$(fetch "$port" /secret-link.txt)"
    check "$label: a file link out of the folder leads nowhere" grep -q '^HTTP/1.1 404 Not Found$' <<<"$reply"
    reply="$(fetch "$port" /inside/guide.txt)"
    check "$label: a link within the folder is followed" grep -q '^guide$' <<<"$reply"
    reply="$(fetch "$port" /hello.txt evil.example)"
    check "$label: foreign Host refused" grep -q '^HTTP/1.1 403 Forbidden$' <<<"$reply"

    # A second instance on the same port: the start line, then the bind error and status 1.
    timeout "$limit" "$@" --port "$port" "$folder" >"$work/$label-second.out" \
        2>"$work/$label-second.err"
    status=$?
    check "$label: second instance exits with status 1 (got $status)" test "$status" -eq 1
    check "$label: second instance reports the bind error" \
        grep -qiE 'address|in use|system error 10048' "$work/$label-second.err"
    check "$label: second instance wrote its start line" grep -q "$started" "$work/$label-second.out"
    echo "     second instance: $(tr -d '\r' <"$work/$label-second.err" | head -1)"
    reply="$(fetch "$port" /hello.txt)"
    check "$label: first instance still serves" grep -q '^hello from the test site$' <<<"$reply"

    timeout "$limit" "$@" >/dev/null 2>"$work/$label-usage.err"
    status=$?
    check "$label: no folder gives status 2 (got $status)" test "$status" -eq 2
    check "$label: no folder gives a usage line" grep -q '^usage: quorvin-serve \[--port N\] FOLDER' \
        "$work/$label-usage.err"
    local bad
    for bad in abc 0 65536 99999999 "" 80x; do
        timeout "$limit" "$@" --port "$bad" "$folder" >/dev/null 2>"$work/$label-port.err"
        status=$?
        check "$label: --port '$bad' gives status 2 (got $status)" test "$status" -eq 2
        check "$label: --port '$bad' is named in the message" \
            grep -qF -- "--port needs a number from 1 to 65535, not \"$bad\"" "$work/$label-port.err"
    done
    timeout "$limit" "$@" "$folder" --port >/dev/null 2>"$work/$label-noport.err"
    status=$?
    check "$label: --port without a number gives status 2 (got $status)" test "$status" -eq 2
    check "$label: --port without a number gives the usage line" \
        grep -q '^usage: quorvin-serve' "$work/$label-noport.err"
    timeout "$limit" "$@" "$folder-missing" >/dev/null 2>"$work/$label-missing.err"
    status=$?
    check "$label: missing folder gives status 2 (got $status)" test "$status" -eq 2
    check "$label: missing folder is named" grep -qF "Not a folder - $folder-missing" \
        "$work/$label-missing.err"
    LAST_PID="$pid" LAST_OUT="$out"
}

native="$native_build/src/app/quorvin-serve"
if [ -z "$native_build" ]; then
    echo "native program not tested"
elif [ -x "$native" ]; then
    exercise native "$site" 10 "$native"
    # The soft descriptor limit raised to the hard one, under a lower soft limit given to it.
    limits="$(grep '^Max open files' "/proc/$LAST_PID/limits" 2>/dev/null)"
    check "native: soft descriptor limit raised to the hard limit ($limits)" \
        test "$(awk '{print $4}' <<<"$limits")" = "$(awk '{print $5}' <<<"$limits")"
    kill -INT "$LAST_PID"
    timeout 10 tail --pid="$LAST_PID" -f /dev/null
    wait "$LAST_PID"
    status=$?
    check "native: Ctrl-C exits with status 0 (got $status)" test "$status" -eq 0
    check "native: Ctrl-C writes Exiting..." grep -qxF 'Exiting...' "$LAST_OUT"
    # The folder spelled with ".", ".." and doubled separators from a folder below it: the start
    # line names its plain form, and the links are those of the plain spelling.
    native_path="$(cd "$(dirname "$native")" && pwd)/$(basename "$native")"
    port="$(pick_port)"
    (cd "$site/docs" && exec "$native_path" --port "$port" ./..//.) >"$work/spelled.out" \
        2>"$work/spelled.err" &
    pids+=("$!")
    check "native: a folder spelled ./..//. is named plainly in the start line" \
        wait_for_line "$work/spelled.out" "serving: \"$site\" time: " 10
    wait_for_port "$port" 10
    reply="$(fetch "$port" /)"
    check "native: the folder spelled ./..//. lists plain links" \
        grep -q 'href="/docs/">docs</a>' <<<"$reply"
    check "native: the folder spelled ./..//. has no back link at its top" \
        test "$(grep -c 'class="i-back' <<<"$reply")" = 0
    timeout 10 "$native" "$site/hello.txt" >/dev/null 2>"$work/file.err"
    status=$?
    check "native: a file instead of a folder gives status 2 (got $status)" test "$status" -eq 2
    check "native: a file instead of a folder is named" \
        grep -qF "Not a folder - $site/hello.txt" "$work/file.err"
else
    check "native program $native exists" false
fi

windows="$win_build/src/app/quorvin-serve.exe"
if [ -f "$windows" ]; then
    # The folder as Windows names it: drive Z: is the root of the Linux file system under Wine.
    exercise wine "Z:${site//\//\\}" 60 scripts/wine-run "$windows"
else
    check "Windows program $windows exists" false
fi

echo "quorvin_serve.sh: $((checks - failures)) of $checks checks passed"
[ "$failures" -eq 0 ]
