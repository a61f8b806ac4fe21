"""What is measured: the wrk scenarios (repeated, median kept) and the memory scenarios."""
import statistics
import subprocess
import threading
import time

from . import clients, dataset, wrkrun


class Rate:
    """One throughput scenario; `least` is the fewest bytes a complete response can have."""

    def __init__(self, key, title, path, connections, unit, least, pipeline=0,
                 new_connections=False, seconds=None):
        self.key, self.title, self.path, self.connections = key, title, path, connections
        self.unit, self.least, self.pipeline = unit, least, pipeline
        self.new_connections, self.seconds = new_connections, seconds


SMALL_PATH = "/" + dataset.SMALL
RATE_SCENARIOS = [
    Rate("small", "1 KiB file, keep-alive, 50 connections", SMALL_PATH, 50, "req/s",
         dataset.SMALL_SIZE),
    Rate("list1000", "listing of 1,000 entries, 10 connections", "/%s/" % dataset.LIST_SMALL, 10,
         "req/s", 20000),
    Rate("list50000", "listing of 50,000 entries, 2 connections", "/%s/" % dataset.LIST_LARGE, 2,
         "req/s", 1000000, seconds=6),
    Rate("big", "100 MiB file, 4 clients", "/" + dataset.BIG, 4, "MiB/s", 0),
    Rate("connect", "new connections (1 request each), 50 clients", SMALL_PATH, 50, "conn/s",
         dataset.SMALL_SIZE, new_connections=True),
    Rate("pipeline", "pipelined, 16 in flight, 10 connections", SMALL_PATH, 10, "req/s",
         dataset.SMALL_SIZE, pipeline=16),
]


def rate_once(server, scenario, seconds):
    """{"value", "latency_ms"} or {"error"} for one run."""
    seconds = max(seconds, scenario.seconds or 0)
    result = wrkrun.run(server.port, scenario.path, scenario.connections, seconds,
                        scenario.pipeline, scenario.new_connections)
    error = result.error_text()
    if scenario.unit == "MiB/s" and error == "no response" and result.bytes > 0:
        error = None  # partial transfers count as bytes moved
    if error is None and result.bytes < result.requests * scenario.least:
        error = "responses shorter than expected (%d bytes each)" % (
            result.bytes // result.requests)
    if error:
        return {"error": error}
    value = result.mib_per_s if scenario.unit == "MiB/s" else result.rate
    return {"value": value, "latency_ms": result.latency_ms}


def median_of(runs):
    """The median run, or the first error when any run had one."""
    for run in runs:
        if "error" in run:
            return {"error": run["error"], "runs": runs}
    ordered = sorted(runs, key=lambda run: run["value"])
    middle = ordered[len(ordered) // 2]
    return dict(middle, runs=[run["value"] for run in runs])


def check_paths(server, paths):
    """Every path answers exactly 200; the first that does not is reported."""
    for path in paths:
        status, _, _ = clients.fetch(server.port, path)
        if status != 200:
            return "%s answers %d" % (path, status)
    return None


def listing_latency(server, repetitions):
    """Time to the last byte of the 50,000-entry page and the longest small GET meanwhile."""
    last_byte, waits, size = [], [], 0
    for _ in range(repetitions):
        if last_byte and last_byte[0] > 3000:
            break  # one figure is enough for a server this slow
        status, size, seconds, longest = clients.listing_with_probes(
            server.port, "/%s/" % dataset.LIST_LARGE, "/" + dataset.SMALL)
        if status != 200:
            return {"error": "status %d" % status}
        last_byte.append(seconds * 1000)
        waits.append(longest * 1000)
    return {"page_bytes": size, "last_byte_ms": statistics.median(last_byte),
            "small_get_wait_ms": statistics.median(waits)}


def listing_memory(server, idle_kib):
    """Peak RSS with 1 and with 30 slow readers of the 50,000-entry page, and RSS after."""
    out = {}
    for clients_count in (1, 30):
        server.reset_peak()
        statuses = clients.slow_readers(server.port, "/%s/" % dataset.LIST_LARGE, clients_count)
        if None in statuses:
            out["error"] = "%d of %d clients not served within 60 s (peak %.0f MiB)" % (
                statuses.count(None), clients_count, server.peak_kib() / 1024)
            return out
        if any(status != 200 for status in statuses):
            return {"error": "statuses %s" % sorted(set(map(str, statuses)))}
        out["peak_%d_kib" % clients_count] = server.peak_kib()
    time.sleep(1.0)
    out["after_kib"] = server.rss_kib()
    out["after_minus_idle_kib"] = out["after_kib"] - idle_kib
    return out


def idle_connections(server, count=1000):
    before = server.rss_kib()
    held = clients.hold_idle(server.port, "/" + dataset.SMALL, count)
    try:
        time.sleep(0.5)
        during = server.rss_kib()
        still = clients.still_open(held)
    finally:
        for sock in held:
            sock.close()
    if still < count:
        return {"error": "server closed %d of %d idle connections" % (count - still, count),
                "before_kib": before, "held_kib": during}
    return {"before_kib": before, "held_kib": during,
            "per_connection_kib": (during - before) / count}


def _curl(port, path):
    """(status, body bytes) of one GET made with curl, which reads as fast as the server sends."""
    done = subprocess.run(["curl", "-s", "-o", "/dev/null", "-w", "%{http_code} %{size_download}",
                           "--max-time", "300", "http://127.0.0.1:%d%s" % (port, path)],
                          capture_output=True, text=True)
    status, size = (done.stdout.split() + ["0", "0"])[:2]
    return int(status), int(size)


def huge_file(server):
    """Peak RSS while the 1 GiB file goes to one client, then to four at once."""
    # The first reader of the sparse file fills the page cache; that should not be one server's cost.
    _curl(server.port, "/" + dataset.HUGE)
    server.reset_peak()
    path = "/" + dataset.HUGE
    begin = time.monotonic()
    results = [_curl(server.port, path)]
    threads = [threading.Thread(target=lambda: results.append(_curl(server.port, path)))
               for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    bad = [r for r in results if r != (200, dataset.HUGE_SIZE)]
    if bad:
        return {"error": "%d of 5 fetches incomplete or not 200" % len(bad)}
    return {"peak_kib": server.peak_kib(), "seconds": time.monotonic() - begin}
