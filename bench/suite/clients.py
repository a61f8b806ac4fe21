"""Plain-socket HTTP clients for the checks and measurements that wrk does not make."""
import selectors
import socket
import threading
import time

CHUNK = 65536


def _request(path, close=True):
    connection = "Connection: close\r\n" if close else ""
    return ("GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\n%s\r\n" % (path, connection)).encode()


def _split_head(data):
    end = data.find(b"\r\n\r\n")
    if end < 0:
        return None
    head = data[:end].decode("latin-1").split("\r\n")
    length = None
    for line in head[1:]:
        name, _, value = line.partition(":")
        if name.strip().lower() == "content-length":
            length = int(value.strip())
    return int(head[0].split()[1]), length, end + 4


def read_response(sock):
    """(status, body length) of one response; the body is read and dropped."""
    data = b""
    while (parsed := _split_head(data)) is None:
        piece = sock.recv(CHUNK)
        if not piece:
            raise ConnectionError("connection closed inside the response head")
        data += piece
    status, length, start = parsed
    got = len(data) - start
    while length is None or got < length:
        piece = sock.recv(CHUNK)
        if not piece:
            break
        got += len(piece)
    return status, got


def fetch(port, path, timeout=120):
    """(status, body length, seconds to the last byte) of one GET on a new connection."""
    begin = time.monotonic()
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as sock:
        sock.sendall(_request(path))
        status, length = read_response(sock)
    return status, length, time.monotonic() - begin


def listing_with_probes(port, big_path, small_path):
    """Fetches the big page at full speed while small GETs run one after another on other
    connections: (status, page bytes, seconds to last byte, longest small GET in seconds)."""
    outcome = {}

    def big():
        outcome["big"] = fetch(port, big_path)

    worker = threading.Thread(target=big)
    worker.start()
    longest = 0.0
    while worker.is_alive():
        status, _, seconds = fetch(port, small_path, timeout=30)
        if status != 200:
            raise RuntimeError("small GET during the listing got status %d" % status)
        longest = max(longest, seconds)
        time.sleep(0.002)
    worker.join()
    status, length, seconds = outcome["big"]
    return status, length, seconds, longest


def _slow_step(state, bytes_per_tick):
    """Reads one piece; True once the response has ended."""
    try:
        piece = state["sock"].recv(bytes_per_tick)
    except BlockingIOError:
        return False
    if state["status"] is None:
        state["data"] += piece
        parsed = _split_head(state["data"])
        if parsed:
            state["status"], length, start = parsed
            # Without a length (chunked), the response ends with the stream (Connection: close).
            state["left"] = None if length is None else length - (len(state["data"]) - start)
            state["data"] = b""
    elif state["left"] is not None:
        state["left"] -= len(piece)
    return not piece or (state["left"] is not None and state["left"] <= 0)


def slow_readers(port, path, clients, bytes_per_tick=CHUNK, tick=0.02, deadline=60.0):
    """`clients` connections each fetch `path`, reading `bytes_per_tick` every `tick` seconds
    through a small receive window. Returns the statuses seen, None for a response that had
    not ended by the deadline."""
    selector = selectors.DefaultSelector()
    states = []
    for _ in range(clients):
        sock = socket.socket()
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 16384)
        sock.connect(("127.0.0.1", port))
        sock.sendall(_request(path))
        sock.setblocking(False)
        state = {"sock": sock, "data": b"", "status": None, "left": None, "done": False}
        states.append(state)
        selector.register(sock, selectors.EVENT_READ, state)
    open_count = clients
    give_up = time.monotonic() + deadline
    while open_count > 0 and time.monotonic() < give_up:
        time.sleep(tick)
        for key, _ in selector.select(timeout=0):
            if _slow_step(key.data, bytes_per_tick):
                key.data["done"] = True
                selector.unregister(key.data["sock"])
                open_count -= 1
    for state in states:
        state["sock"].close()
    return [state["status"] if state["done"] else None for state in states]


def hold_idle(port, path, count):
    """Opens `count` connections, each served one keep-alive GET, and returns them open."""
    held = []
    for _ in range(count):
        sock = socket.create_connection(("127.0.0.1", port), timeout=30)
        sock.sendall(_request(path, close=False))
        status, _ = read_response(sock)
        if status != 200:
            raise RuntimeError("idle connection setup got status %d" % status)
        held.append(sock)
    return held


def still_open(held):
    """How many of the connections the server has not closed."""
    selector = selectors.DefaultSelector()
    for sock in held:
        selector.register(sock, selectors.EVENT_READ)
    closed = len(selector.select(timeout=0.2))
    selector.close()
    return len(held) - closed
