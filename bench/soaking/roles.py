"""The soak's clients. Each role runs in a process of its own until `stop` is set and returns
its Tally; one process per role keeps one client's event loop from delaying another's."""
import asyncio
import random
import socket
import struct
import subprocess
import time

from .http import WrongAnswer, expect_file, read_response, request

# How long any one exchange may take before it counts as a failure (the server never stalls).
EXCHANGE_TIMEOUT = 60.0


async def connect(port):
    return await asyncio.open_connection("127.0.0.1", port, limit=1 << 20)


def close_now(writer):
    writer.close()


def reset(writer):
    """Closes with a reset instead of an orderly end: SO_LINGER with a zero time."""
    sock = writer.get_extra_info("socket")
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    writer.close()


async def guarded(tally, exchange):
    """Runs one exchange, which counts its right answers itself; a wrong answer or any other
    failure (a refused or reset connection, a stall) ends it and is counted here."""
    try:
        await asyncio.wait_for(exchange(), EXCHANGE_TIMEOUT)
    except WrongAnswer as e:
        tally.add_wrong(str(e))
    except (OSError, asyncio.TimeoutError, asyncio.IncompleteReadError) as e:
        tally.add_failure("%s: %s" % (type(e).__name__, e))


# Keep-alive GETs of small files, pipelined batches and one-request connections.
async def keep_alive(cfg, stop, tally):
    files = cfg["files"]
    paths = list(files)
    rng = random.Random()

    async def one_client():
        while not stop.is_set():
            reader, writer = None, None

            async def session():
                nonlocal reader, writer
                reader, writer = await connect(cfg["port"])
                for _ in range(50):
                    path = rng.choice(paths)
                    writer.write(request(path))
                    await expect_file(reader, files[path])
                    tally.right += 1

            await guarded(tally, session)
            if writer:
                close_now(writer)

    async def pipelined():
        while not stop.is_set():
            async def batch():
                reader, writer = await connect(cfg["port"])
                try:
                    chosen = [rng.choice(paths) for _ in range(16)]
                    writer.write(b"".join(request(p) for p in chosen))
                    for p in chosen:
                        await expect_file(reader, files[p])
                        tally.right += 1
                finally:
                    close_now(writer)

            await guarded(tally, batch)

    async def new_connections():
        while not stop.is_set():
            async def once():
                path = rng.choice(paths)
                reader, writer = await connect(cfg["port"])
                try:
                    writer.write(request(path, close=True))
                    await expect_file(reader, files[path])
                    if await reader.read(1):
                        raise WrongAnswer("bytes after a response to Connection: close")
                    tally.right += 1
                finally:
                    close_now(writer)

            await guarded(tally, once)

    clients = cfg["keep_alive_clients"]
    await asyncio.gather(*[one_client() for _ in range(clients)],
                         *[pipelined() for _ in range(2)],
                         *[new_connections() for _ in range(4)])


# Slow readers of the big listing; each page must be whole, with one item per entry.
async def slow_readers(cfg, stop, tally):
    entries = cfg["listing_entries"]
    rate = cfg["slow_bytes_per_second"]

    async def read_slowly():
        reader, writer = await connect(cfg["port"])
        try:
            writer.write(request("/%s/" % cfg["listing"]))
            head = await reader.readuntil(b"\r\n\r\n")
            if not head.startswith(b"HTTP/1.1 200 "):
                raise WrongAnswer("listing answered %r" % head[:40])
            length = int(head.lower().split(b"content-length:")[1].split(b"\r\n")[0])
            body = bytearray()
            while len(body) < length and not stop.is_set():
                body += await reader.readexactly(min(16384, length - len(body)))
                await asyncio.sleep(16384 / rate)
            if stop.is_set() and len(body) < length:
                return  # cut short by the end of the run, not by the server
            items = body.count(b'<li class="i-file')
            if items != entries or not body.endswith(b"</html>\n  "):
                raise WrongAnswer("a listing with %d of %d items" % (items, entries))
            tally.right += 1
        finally:
            close_now(writer)

    async def reader_loop():
        while not stop.is_set():
            await guarded(tally, read_slowly)

    await asyncio.gather(*[reader_loop() for _ in range(cfg["slow_readers"])])


# Clients that reset the connection part-way through a large file or the big listing.
async def resetters(cfg, stop, tally):
    rng = random.Random()

    async def one():
        path = rng.choice(["/large.bin", "/%s/" % cfg["listing"]])
        reader, writer = await connect(cfg["port"])
        try:
            writer.write(request(path))
            head = await reader.readuntil(b"\r\n\r\n")
            if not head.startswith(b"HTTP/1.1 200 "):
                raise WrongAnswer("%s answered %r" % (path, head[:40]))
            tally.right += 1
            await reader.read(rng.randrange(1, 256 * 1024))
        finally:
            reset(writer)

    while not stop.is_set():
        await guarded(tally, one)
        await asyncio.sleep(0.05)


def garbage_requests(rng):
    """Requests the server must refuse: each is (name, bytes)."""
    noise = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 3000)))
    return rng.choice([
        ("noise", noise + b"\r\n\r\n"),
        ("long line", b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\nHost: x\r\n\r\n"),
        ("long header", b"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + b"b" * 100000 + b"\r\n\r\n"),
        ("many headers", b"GET / HTTP/1.1\r\n" +
         b"".join(b"X-H%d: v\r\n" % i for i in range(10001)) + b"\r\n"),
        ("huge body", b"POST / HTTP/1.1\r\nHost: x\r\nContent-Length: 99999999999\r\n\r\n"),
        ("bad method", b"BREW /one.kib HTTP/1.1\r\nHost: x\r\n\r\n"),
        ("bad version", b"GET /one.kib HTTP/7.3\r\nHost: x\r\n\r\n"),
        ("bad length", b"GET / HTTP/1.1\r\nContent-Length: -5\r\n\r\n"),
        ("cut short", b"GET /one.kib HTTP/1.1\r\nHo"),
        ("foreign host", b"GET /one.kib HTTP/1.1\r\nHost: example.com\r\n\r\n"),
    ])


# Garbage and oversized requests: every answer is a framed error, or the connection just ends.
async def garbage(cfg, stop, tally):
    rng = random.Random()

    async def one():
        name, data = garbage_requests(rng)
        reader, writer = await connect(cfg["port"])
        try:
            try:
                writer.write(data)
                await writer.drain()
                writer.write_eof()
            except ConnectionError:
                pass  # the server may refuse before it has read everything
            try:
                while (answer := await read_response(reader)) is not None:
                    if answer[0] < 400:
                        raise WrongAnswer("%s answered %d" % (name, answer[0]))
            except ConnectionResetError:
                pass  # refusing a flood by closing with unread bytes resets; fine
            tally.right += 1  # refused, as it must be
        finally:
            close_now(writer)

    while not stop.is_set():
        await guarded(tally, one)
        await asyncio.sleep(0.01)


# A pool of idle connections, churned: each second the oldest few ask for a file (they must still
# be served) and close, and as many new ones connect. The server may close a connection that has
# been idle for IDLE_LIMIT seconds; one that old (when this loop falls behind) just closes.
IDLE_LIMIT = 75.0


async def idle_churn(cfg, stop, tally):
    expected = cfg["one_kib"]
    held = []  # (opened at, reader, writer), oldest first

    async def open_one():
        async def opened():
            reader, writer = await connect(cfg["port"])
            held.append((time.monotonic(), reader, writer))
        try:
            await asyncio.wait_for(opened(), EXCHANGE_TIMEOUT)
        except (OSError, asyncio.TimeoutError) as e:
            tally.add_failure("idle connect: %s" % e)

    async def retire(opened, reader, writer):
        async def ask():
            writer.write(request("/one.kib"))
            await expect_file(reader, expected)
            tally.right += 1
        if time.monotonic() - opened < IDLE_LIMIT - 10:
            await guarded(tally, ask)
        close_now(writer)

    for start in range(0, cfg["idle"], 500):
        await asyncio.gather(*[open_one() for _ in range(min(500, cfg["idle"] - start))])
    while not stop.is_set():
        await asyncio.sleep(1.0)
        churn = cfg["idle_churn"]
        old, held[:churn] = held[:churn], []
        await asyncio.gather(*[retire(*entry) for entry in old], *[open_one() for _ in old])
    for _, _, writer in held:
        close_now(writer)


# Bursts: N connections at once (by the C client, which opens them far faster than asyncio
# can), each fetches the 1 KiB file and stays open until all have.
def bursts(cfg, stop, tally, windows, bursting):
    while not stop.wait(cfg["burst_pause"]):
        start = time.monotonic()
        bursting.value = 1
        done = subprocess.run([cfg["burst_client"], str(cfg["port"]), "/one.kib",
                               cfg["one_kib_path"], str(cfg["burst"]), str(EXCHANGE_TIMEOUT)],
                              capture_output=True, text=True)
        bursting.value = 0
        windows.append((start, time.monotonic()))
        words = done.stdout.split()
        if done.returncode != 0 or len(words) != 8:
            tally.add_failure("the burst client: %s" % (done.stderr.strip() or done.returncode))
            continue
        tally.right += int(words[1])
        for _ in range(int(words[3])):
            tally.add_wrong("a burst connection got a bad answer")
        for _ in range(int(words[5])):
            tally.add_failure("a burst connection was refused, reset or not answered in time")


# The well-behaved client: one keep-alive connection, one small GET every 20 ms, each timed.
def steady(cfg, stop, tally, latencies):
    expected = cfg["one_kib"]
    message = request("/one.kib")
    sock = None
    while not stop.is_set():
        try:
            if sock is None:
                sock = socket.create_connection(("127.0.0.1", cfg["port"]), timeout=EXCHANGE_TIMEOUT)
            begin = time.monotonic()
            sock.sendall(message)
            status, body = _read_blocking(sock)
            latencies.append((begin, time.monotonic() - begin))
            if status != 200 or body != expected:
                tally.add_wrong("steady: status %d, %d bytes" % (status, len(body)))
            else:
                tally.right += 1
        except (OSError, ValueError) as e:
            tally.add_failure("steady: %s" % e)
            sock = None
        time.sleep(0.02)


def _read_blocking(sock):
    data = b""
    while b"\r\n\r\n" not in data:
        piece = sock.recv(65536)
        if not piece:
            raise ConnectionError("closed inside a response head")
        data += piece
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    length = 0
    for line in lines[1:]:
        name, _, value = line.partition(":")
        if name.strip().lower() == "content-length":
            length = int(value)
    while len(body) < length:
        piece = sock.recv(65536)
        if not piece:
            raise ConnectionError("closed inside a body")
        body += piece
    if len(body) != length:
        raise ValueError("more bytes than Content-Length")
    return int(lines[0].split()[1]), body
