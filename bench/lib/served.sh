# Sourced by the memory benchmarks: the native quorvin-serve (built if missing), a scratch folder
# $work with its site in $work/site, and the server started on a free port and stopped on exit.
build="${QUORVIN_NATIVE_BUILD:-build/native}"
program="$build/src/app/quorvin-serve"

if [ ! -x "$program" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    ninja -C "$build" quorvin-serve >/dev/null
fi

work="$(mktemp -d /tmp/quorvin-bench.XXXXXX)"
server=""
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/site"

# Starts the server on $work/site and waits until it accepts; sets $server and $port.
start_server() {
    port=$((20000 + RANDOM % 12000))
    "$program" --port "$port" "$work/site" >"$work/server.out" 2>&1 &
    server=$!
    for _ in $(seq 1 50); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
    head -1 "$work/server.out"
}

status_kib() { # FIELD of /proc/PID/status, such as VmRSS or VmHWM
    sed -n "s/^$1:[[:space:]]*\([0-9]*\) kB/\1/p" "/proc/$server/status"
}
