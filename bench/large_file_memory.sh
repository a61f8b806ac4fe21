#!/usr/bin/env bash
# Serves a 1 GiB file with the native quorvin-serve, fetches it completely (once alone, then four
# times at once) and reports the server's peak resident memory (VmHWM). Fails above 64 MiB.
# Usage: bench/large_file_memory.sh      (QUORVIN_NATIVE_BUILD names the build, default
#                                         build/native; the program is built there if missing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source bench/lib/served.sh
limit_kib=$((64 * 1024))

size=$((1024 * 1024 * 1024))
# Real bytes at both ends and in the middle, holes elsewhere, so the check below sees offsets.
truncate -s "$size" "$work/site/large.bin"
for offset in 0 512 1023; do
    head -c 1048576 /dev/urandom |
        dd of="$work/site/large.bin" bs=1M seek="$offset" conv=notrunc status=none
done
expected="$(md5sum <"$work/site/large.bin" | cut -d' ' -f1)"

start_server

peak_kib() {
    status_kib VmHWM
}

fetch() { # OUTPUT-FILE
    (
        exec 3<>"/dev/tcp/127.0.0.1/$port"
        printf 'GET /large.bin HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
        timeout 120 cat <&3
    ) >"$1"
}

# The body of a saved response: everything after the empty line that ends the head.
body_md5() {
    local offset
    offset=$(head -c 4096 "$1" | grep -abo -m1 $'^\r$' | cut -d: -f1)
    tail -c +"$((offset + 3))" "$1" | md5sum | cut -d' ' -f1
}

echo "peak resident memory after start: $(peak_kib) KiB"
start=$SECONDS
fetch "$work/one.response"
echo "one fetch: $(stat -c %s "$work/one.response") bytes in $((SECONDS - start)) s," \
    "peak resident memory $(peak_kib) KiB"
[ "$(body_md5 "$work/one.response")" = "$expected" ] || {
    echo "the body differs from the file" >&2
    exit 1
}
rm -f "$work/one.response"

fetches=()
for i in 1 2 3 4; do
    fetch "$work/many$i.response" &
    fetches+=($!)
done
wait "${fetches[@]}"
peak="$(peak_kib)"
echo "four fetches at once: peak resident memory $peak KiB"
for i in 1 2 3 4; do
    [ "$(stat -c %s "$work/many$i.response")" -gt "$size" ] || {
        echo "fetch $i is incomplete" >&2
        exit 1
    }
done

if [ "$peak" -ge "$limit_kib" ]; then
    echo "FAIL: peak resident memory $peak KiB is not below $limit_kib KiB" >&2
    exit 1
fi
echo "ok: peak resident memory $peak KiB (limit $limit_kib KiB)"
