"""Runs every scenario against every server in one run and writes the report."""
import argparse
import json
import os
import platform
import resource
import shutil
import tempfile
import time

from . import dataset, report, scenarios, servers


def machine_facts():
    model = ""
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return {"cores": os.cpu_count(), "cpu": model, "kernel": platform.release(),
            "load_at_start": os.getloadavg()[0],
            "date": time.strftime("%Y-%m-%d %H:%M")}


def start_all(program, npm, work, site, wanted, baseline):
    ports = servers.free_ports(6)
    log = open(os.path.join(work, "servers.log"), "wb")
    started = []
    commands = servers.peer_commands(program, npm, work, site, ports, baseline)
    for port, (name, command, environment) in zip(ports, commands):
        if wanted and name not in wanted:
            continue
        try:
            started.append(servers.Server(name, command, environment, port, log))
        except Exception:
            for server in started:
                server.stop()
            raise
    return started


def _guarded(function, *args):
    """The figures of one memory scenario; a server that breaks there is reported, not fatal."""
    try:
        return function(*args)
    except Exception as error:
        return {"error": "%s: %s" % (type(error).__name__, error)}


def _rates(usable, seconds, repetitions, progress):
    runs = {(s.name, sc.key): [] for s in usable for sc in scenarios.RATE_SCENARIOS}
    for repetition in range(repetitions):
        for scenario in scenarios.RATE_SCENARIOS:
            for server in usable:
                run = scenarios.rate_once(server, scenario, seconds)
                runs[(server.name, scenario.key)].append(run)
                progress("rep %d %-10s %-20s %s" % (repetition + 1, scenario.key, server.name,
                                                    run.get("error") or "%.1f" % run["value"]))
    return {key: scenarios.median_of(values) for key, values in runs.items()}


def measure(running, seconds, repetitions, progress):
    """Idle memory and idle connections first, on fresh servers; then the large file; then the
    rates; the listing scenarios last, since they leave memory behind in some servers."""
    results = {server.name: {} for server in running}
    usable = []
    for server in running:
        entry = results[server.name]
        # Idle memory before anything has been asked; the listings are checked after the
        # idle connections, whose cost they would otherwise hide in memory freed but kept.
        entry["idle_kib"] = server.rss_kib()
        entry["check"] = scenarios.check_paths(server, [scenarios.SMALL_PATH])
        if entry["check"] is None:
            usable.append(server)
        else:
            progress("%s: %s" % (server.name, entry["check"]))
    for key, function in (("idle_connections", scenarios.idle_connections),
                          ("huge_file", scenarios.huge_file)):
        for server in usable:
            results[server.name][key] = _guarded(function, server)
            progress("%-16s %-20s %s" % (key, server.name, results[server.name][key]))
    for server in list(usable):
        problem = scenarios.check_paths(server, [sc.path for sc in scenarios.RATE_SCENARIOS])
        if problem:
            results[server.name]["check"] = problem
            usable.remove(server)
            progress("%s: %s" % (server.name, problem))
    for (name, key), result in _rates(usable, seconds, repetitions, progress).items():
        results[name][key] = result
    for server in usable:
        entry = results[server.name]
        entry["listing_latency"] = _guarded(scenarios.listing_latency, server, repetitions)
        entry["listing_memory"] = _guarded(scenarios.listing_memory, server, entry["idle_kib"])
        progress("listing          %-20s %s %s" % (server.name, entry["listing_latency"],
                                                   entry["listing_memory"]))
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--program", required=True)
    parser.add_argument("--npm", required=True)
    parser.add_argument("--out", required=True, help="folder for benchmarks.md and the chart")
    parser.add_argument("--json", required=True)
    parser.add_argument("--seconds", type=int, default=3)
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--servers", help="comma-separated names to measure (default: all)")
    parser.add_argument("--baseline", help="an earlier quorvin-serve, measured as 'quorvin baseline'")
    args = parser.parse_args()
    resource.setrlimit(resource.RLIMIT_NOFILE, (servers.OPEN_FILES, servers.OPEN_FILES))

    def progress(text):
        print(text, flush=True)

    work = tempfile.mkdtemp(prefix="quorvin-bench-")
    running = []
    try:
        site = os.path.join(work, "site")
        progress("making the data set in %s" % site)
        dataset.make_site(site)
        wanted = args.servers.split(",") if args.servers else None
        running = start_all(args.program, args.npm, work, site, wanted, args.baseline)
        facts = machine_facts()
        results = measure(running, args.seconds, args.repetitions, progress)
    finally:
        for server in running:
            server.stop()
        shutil.rmtree(work, ignore_errors=True)
    document = {"machine": facts, "seconds": args.seconds, "repetitions": args.repetitions,
                "servers": [s.name for s in running], "results": results}
    with open(args.json, "w") as out:
        json.dump(document, out, indent=1)
    report.write(document, args.out)
    progress("wrote %s" % os.path.join(args.out, "benchmarks.md"))


if __name__ == "__main__":
    main()
