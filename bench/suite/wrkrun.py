"""One wrk run: rate, bytes and latency percentiles, or the errors that void it."""
import os
import re
import subprocess

LUA = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "lua")


class WrkResult:
    def __init__(self, fields, output):
        self.requests = fields["requests"]
        self.seconds = fields["duration_us"] / 1e6
        self.bytes = fields["bytes"]
        self.errors = {k: fields[k] for k in ("connect", "read", "write", "status", "timeout")}
        self.latency_ms = {p: fields[p] / 1000.0 for p in ("p50", "p90", "p99", "max")}
        self.output = output

    @property
    def rate(self):
        return self.requests / self.seconds

    @property
    def mib_per_s(self):
        return self.bytes / self.seconds / (1024 * 1024)

    def error_text(self):
        """Why this run cannot be reported as a rate, or None."""
        bad = {k: v for k, v in self.errors.items() if v}
        if self.requests == 0:
            return "no response"
        if bad:
            return "errors " + ", ".join("%s %d" % item for item in sorted(bad.items()))
        return None


# bench/connrate.c, built by bench/run: wrk cannot count a server that closes after a response
# whose head does not say so (Quorvin's heads carry no Connection header).
CONNRATE = os.environ.get("QUORVIN_BENCH_CONNRATE", "connrate")


def run(port, path, connections, seconds, pipeline=0, new_connections=False):
    url = "http://127.0.0.1:%d%s" % (port, path)
    command = ["wrk", "-t1", "-c%d" % connections, "-d%ds" % seconds, "--timeout", "10s"]
    if new_connections:
        command = [CONNRATE, str(port), path, str(connections), str(seconds)]
    elif pipeline:
        command += ["-s", os.path.join(LUA, "pipeline.lua"), url, "--", path, str(pipeline)]
    else:
        command += ["-s", os.path.join(LUA, "report.lua"), url]
    done = subprocess.run(command, capture_output=True, text=True, timeout=seconds + 60)
    match = re.search(r"^RESULT (.*)$", done.stdout, re.M)
    if not match:
        raise RuntimeError("wrk printed no result: %s %s" % (done.stdout, done.stderr))
    fields = {k: int(v) for k, v in (item.split("=") for item in match.group(1).split())}
    return WrkResult(fields, done.stdout)
