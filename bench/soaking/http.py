"""Reading and checking HTTP/1.1 responses on asyncio streams, for the soak's clients."""
import asyncio


class WrongAnswer(Exception):
    """A response that is not what the request must get: counted as answered wrong."""


def request(path, close=False, host="127.0.0.1"):
    connection = "Connection: close\r\n" if close else ""
    return ("GET %s HTTP/1.1\r\nHost: %s\r\n%s\r\n" % (path, host, connection)).encode()


async def read_response(reader):
    """(status, headers, body) of one response, framed by Content-Length or else by the end of the
    stream; None at a clean end of the stream before any byte of a response. WrongAnswer when it
    cannot be framed."""
    try:
        head = await reader.readuntil(b"\r\n\r\n")
    except asyncio.IncompleteReadError as e:
        if not e.partial:
            return None
        raise WrongAnswer("the stream ended inside a response head: %r" % e.partial[:80])
    except asyncio.LimitOverrunError:
        raise WrongAnswer("a response head without end")
    lines = head[:-4].decode("latin-1").split("\r\n")
    parts = lines[0].split(" ", 2)
    if len(parts) < 2 or parts[0] != "HTTP/1.1" or not parts[1].isdigit():
        raise WrongAnswer("a bad status line: %r" % lines[0][:80])
    headers = {}
    for line in lines[1:]:
        name, colon, value = line.partition(":")
        if not colon:
            raise WrongAnswer("a bad header line: %r" % line[:80])
        headers[name.strip().lower()] = value.strip()
    if "content-length" not in headers:
        # Framed by the end of the stream: a refusal the server closes after.
        return int(parts[1]), headers, await reader.read()
    if not headers["content-length"].isdigit():
        raise WrongAnswer("a bad Content-Length: %r" % headers["content-length"])
    try:
        body = await reader.readexactly(int(headers["content-length"]))
    except asyncio.IncompleteReadError:
        raise WrongAnswer("the stream ended inside a body")
    return int(parts[1]), headers, body


async def expect_file(reader, expected):
    """Reads one response that must be 200 with exactly the expected bytes."""
    answer = await read_response(reader)
    if answer is None:
        raise WrongAnswer("the connection closed instead of answering")
    status, _, body = answer
    if status != 200 or body != expected:
        raise WrongAnswer("status %d, %d bytes where %d were due" % (status, len(body), len(expected)))


class Tally:
    """Requests answered right and wrong, with the first few wrong answers and other failures."""

    def __init__(self, role):
        self.role = role
        self.right = 0
        self.wrong = 0
        self.failures = 0  # connections refused or reset by the server, timeouts of our own
        self.examples = []

    def note(self, what):
        if len(self.examples) < 5:
            self.examples.append(what)

    def add_wrong(self, what):
        self.wrong += 1
        self.note("wrong: %s" % what)

    def add_failure(self, what):
        self.failures += 1
        self.note("failure: %s" % what)

    def as_dict(self):
        return {"role": self.role, "right": self.right, "wrong": self.wrong,
                "failures": self.failures, "examples": self.examples}
