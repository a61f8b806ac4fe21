#!/usr/bin/env bash
# Memory after a burst: 10,000 keep-alive connections each fetch a 1 KiB file from the native
# quorvin-serve, all open at once, and then close. Reports the server's resident memory idle
# before the burst, at its peak, and 5 s after the last connection closed, and its open
# descriptors before and after. Fails when memory 5 s after is not within 16 MiB of idle, or when
# a descriptor was not given back.
# Usage: bench/burst_memory.sh [CONNECTIONS]   (QUORVIN_NATIVE_BUILD names the build, default
#                                               build/native; the program is built there if missing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
source bench/lib/served.sh
connections="${1:-10000}"
margin_kib=$((16 * 1024))

# Both ends hold a descriptor per connection.
ulimit -n "$(ulimit -Hn)"
if [ "$(ulimit -n)" -le "$((connections + 64))" ]; then
    echo "the descriptor limit $(ulimit -n) is too low for $connections connections" >&2
    exit 1
fi

head -c 1024 /dev/urandom >"$work/site/small.bin"

start_server

descriptors() {
    find "/proc/$server/fd" -mindepth 1 -maxdepth 1 | wc -l
}

sleep 1
idle="$(status_kib VmRSS)"
fds_before="$(descriptors)"

# Every connection sends one keep-alive request and reads its whole answer; once all have, all
# close.
python3 - "$port" "$connections" <<'EOF'
import asyncio, sys

port, count = int(sys.argv[1]), int(sys.argv[2])
request = b"GET /small.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"

async def fetch(ready):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    writer.write(request)
    head = await reader.readuntil(b"\r\n\r\n")
    length = next(int(line.split(b":")[1]) for line in head.split(b"\r\n")
                  if line.lower().startswith(b"content-length:"))
    body = await reader.readexactly(length)
    ok = head.startswith(b"HTTP/1.1 200") and len(body) == 1024
    ready.release()
    return writer, ok

async def main():
    # Connections are opened a few hundred at a time, so that the listen queue never overflows.
    ready = asyncio.Semaphore(500)
    tasks = []
    for _ in range(count):
        await ready.acquire()
        tasks.append(asyncio.create_task(fetch(ready)))
    results = await asyncio.gather(*tasks)
    for writer, _ in results:
        writer.close()
    failed = sum(1 for _, ok in results if not ok)
    print(f"{count} connections answered, {failed} wrong")
    sys.exit(1 if failed else 0)

asyncio.run(main())
EOF

sleep 5
after="$(status_kib VmRSS)"
peak="$(status_kib VmHWM)"
fds_after="$(descriptors)"
echo "resident memory: idle $idle KiB, peak $peak KiB, 5 s after the burst $after KiB"
echo "open descriptors: $fds_before before, $fds_after after"

if [ "$fds_after" -ne "$fds_before" ]; then
    echo "FAIL: $((fds_after - fds_before)) descriptors were not given back" >&2
    exit 1
fi
if [ "$after" -gt "$((idle + margin_kib))" ]; then
    echo "FAIL: 5 s after the burst $after KiB is more than 16 MiB above idle ($idle KiB)" >&2
    exit 1
fi
echo "ok: 5 s after the burst within 16 MiB of idle"
