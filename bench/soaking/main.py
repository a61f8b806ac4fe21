"""bench/soak: runs quorvin-serve under a mixed load for a while, records its memory, descriptors
and threads once a second, and reports the answers counted right and wrong. See bench/soak."""
import argparse
import asyncio
import json
import multiprocessing
import os
import queue
import resource
import signal
import socket
import subprocess
import sys
import time

from . import chart, roles, site
from .http import Tally
from .monitor import Recorder, sample
from .report import summarise, write_report

FULL = {"keep_alive_clients": 16, "slow_readers": 4, "listing_entries": 50000,
        "slow_bytes_per_second": 128 * 1024, "idle": 5000, "idle_churn": 125,
        "burst": 10000, "burst_pause": 30.0}
SMOKE = {"keep_alive_clients": 4, "slow_readers": 1, "listing_entries": 2000,
         "slow_bytes_per_second": 256 * 1024, "idle": 200, "idle_churn": 20,
         "burst": 500, "burst_pause": 4.0}


def raise_descriptor_limit():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    try:
        resource.setrlimit(resource.RLIMIT_NOFILE, (65536, 65536))
    except (ValueError, OSError):
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(program, port, folder):
    server = subprocess.Popen([program, "--port", str(port), folder],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return server
        except OSError:
            if server.poll() is not None:
                break
            time.sleep(0.1)
    server.kill()
    sys.exit("soak: quorvin-serve did not start listening on port %d" % port)


def run_role(name, cfg, stop, bursting, out):
    """The body of one client process."""
    raise_descriptor_limit()
    os.nice(5)
    tally = Tally(name)
    extra = []
    try:
        if name == "steady":
            roles.steady(cfg, stop, tally, extra)
        elif name == "bursts":
            roles.bursts(cfg, stop, tally, extra, bursting)
        else:
            asyncio.run(getattr(roles, name)(cfg, stop, tally))
    except Exception as e:  # a client's own fault must show, not hang the run
        tally.add_failure("%s stopped: %r" % (name, e))
    out.put((name, tally.as_dict(), extra))


ROLES = ["steady", "keep_alive", "slow_readers", "resetters", "garbage", "idle_churn", "bursts"]


def run_load(cfg, seconds, recorder, bursting, server):
    context = multiprocessing.get_context("fork")
    stop = context.Event()
    out = context.Queue()
    workers = [context.Process(target=run_role, args=(name, cfg, stop, bursting, out), daemon=True)
               for name in ROLES]
    for worker in workers:
        worker.start()
    end = time.monotonic() + seconds
    while time.monotonic() < end and server.poll() is None:
        recorder.phase = "burst" if bursting.value else "load"
        time.sleep(0.2)
    recorder.phase = "after"
    stop.set()
    results = {}
    deadline = time.monotonic() + roles.EXCHANGE_TIMEOUT + 30
    while len(results) < len(workers) and time.monotonic() < deadline:
        try:
            name, tally, extra = out.get(timeout=1)
            results[name] = (tally, extra)
        except queue.Empty:
            pass
    for worker in workers:
        worker.join(timeout=5)
        if worker.is_alive():
            worker.kill()
    for name in ROLES:
        if name not in results:
            results[name] = ({"role": name, "right": 0, "wrong": 0, "failures": 1,
                              "examples": ["failure: the client did not finish"]}, [])
    return results


def settle(pid, descriptors, seconds=30):
    """Waits until the server holds as few descriptors as before the load (or time is up)."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        now = sample(pid)
        if now is None or now[1] <= descriptors:
            return
        time.sleep(0.5)


def main():
    parser = argparse.ArgumentParser(prog="bench/soak")
    parser.add_argument("--program", required=True)
    parser.add_argument("--site", required=True)
    parser.add_argument("--burst-client", required=True, help="bench/soakburst.c, built")
    parser.add_argument("--out", required=True)
    parser.add_argument("--seconds", type=float, default=600)
    parser.add_argument("--smoke", action="store_true", help="a small load for the test command")
    parser.add_argument("--report", help="also write the report (Markdown) and chart here")
    args = parser.parse_args()

    raise_descriptor_limit()
    os.makedirs(args.out, exist_ok=True)
    cfg = dict(SMOKE if args.smoke else FULL)
    print("soak: preparing the site in %s" % args.site, flush=True)
    cfg["listing"] = site.make_site(args.site, cfg["listing_entries"])
    cfg["files"] = site.small_files(args.site)
    cfg["one_kib"] = site.read_file(args.site, "one.kib")
    cfg["one_kib_path"] = os.path.join(args.site, "one.kib")
    cfg["burst_client"] = args.burst_client
    cfg["port"] = free_port()

    server = start_server(args.program, cfg["port"], args.site)
    try:
        time.sleep(2)
        before = sample(server.pid)
        started = time.monotonic()
        recorder = Recorder(server.pid, os.path.join(args.out, "soak.csv"), started)
        recorder.start()
        time.sleep(3)
        bursting = multiprocessing.get_context("fork").Value("b", 0)
        print("soak: %g s of load on port %d" % (args.seconds, cfg["port"]), flush=True)
        load_began = time.monotonic()
        results = run_load(cfg, args.seconds, recorder, bursting, server)
        load_ended = time.monotonic()
        alive = server.poll() is None
        settle(server.pid, before[1])
        while alive and time.monotonic() < load_ended + 5:
            time.sleep(0.2)
        after5 = sample(server.pid) if alive else None
        time.sleep(5)
        after = sample(server.pid) if alive else None
        recorder.stop()
    finally:
        server.send_signal(signal.SIGINT)
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()

    summary = summarise(results, recorder.rows, before, after5, after, alive,
                        load_began - started, load_ended - started, args.seconds)
    with open(os.path.join(args.out, "summary.json"), "w") as f:
        json.dump(summary, f, indent=2)
    for line in summary["lines"]:
        print(line)
    if args.report:
        picture = os.path.splitext(args.report)[0] + ".png"
        if chart.draw(os.path.join(args.out, "soak.csv"), picture,
                      "quorvin-serve under the soak load"):
            summary["chart"] = os.path.basename(picture)
        write_report(args.report, summary, cfg, args)
    ok = summary["verdict"]
    print("soak: %s" % ("every answer right, descriptors back" if ok else "FAILED"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
