"""The figures of a soak run, as lines for the terminal and as a Markdown report."""
import datetime
import os
import platform
import subprocess


def percentile(values, fraction):
    if not values:
        return None
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))]


def ms(seconds):
    return "-" if seconds is None else "%.1f ms" % (seconds * 1000)


def fmt(number):
    return "-" if number is None else "%.1f" % number


def mib(kib):
    return "-" if kib is None else "%.1f MiB" % (kib / 1024)


def latencies(results):
    """All latencies of the well-behaved client, and those that began inside a burst."""
    samples = results["steady"][1]
    windows = results["bursts"][1]
    during = [lat for begin, lat in samples if any(a <= begin <= b for a, b in windows)]
    return [lat for _, lat in samples], during, windows


def summarise(results, rows, before, after5, after, alive, load_began, load_ended, seconds):
    tallies = [results[name][0] for name in results]
    right = sum(t["right"] for t in tallies)
    wrong = sum(t["wrong"] for t in tallies)
    failures = sum(t["failures"] for t in tallies)
    load_rows = [r for r in rows if load_began <= r[0] <= load_ended + 1]
    peak_rss = max((r[1] for r in load_rows), default=None)
    peak_fds = max((r[2] for r in load_rows), default=None)
    peak_threads = max((r[3] for r in load_rows), default=None)
    every, during, windows = latencies(results)
    burst_count = len(windows)
    burst_seconds = [b - a for a, b in windows]
    loads = [r[5] for r in load_rows]
    s = {
        "seconds": seconds, "right": right, "wrong": wrong, "failures": failures,
        "roles": tallies, "server_alive": alive,
        "load_average": {"mean": sum(loads) / len(loads) if loads else None,
                         "max": max(loads, default=None)},
        "descriptors": {"before": before[1], "peak": peak_fds, "after": after and after[1]},
        "rss_kib": {"idle": before[0], "peak": peak_rss, "after_5s": after5 and after5[0],
                    "after_10s": after and after[0]},
        "threads": {"before": before[2], "peak": peak_threads, "after": after and after[2]},
        "latency": {"count": len(every), "p50": percentile(every, 0.5),
                    "p99": percentile(every, 0.99), "max": max(every, default=None),
                    "bursts": burst_count, "during_bursts_count": len(during),
                    "burst_seconds_min": min(burst_seconds, default=None),
                    "burst_seconds_max": max(burst_seconds, default=None),
                    "during_bursts_p99": percentile(during, 0.99)},
    }
    s["verdict"] = bool(alive and wrong == 0 and failures == 0 and after and
                        after[1] <= before[1])
    lat = s["latency"]
    s["lines"] = [
        "answers: %d right, %d wrong, %d failed exchanges" % (right, wrong, failures),
        "server: %s" % ("served to the end" if alive else "DIED during the run"),
        "descriptors: %d before the load, %s at the peak, %s after"
        % (before[1], peak_fds, after and after[1]),
        "resident memory: %s idle, %s at the peak, %s 5 s after the load, %s 10 s after"
        % (mib(before[0]), mib(peak_rss), mib(after5 and after5[0]), mib(after and after[0])),
        "threads: %d before, %s at the peak, %s after" % (before[2], peak_threads, after and after[2]),
        "machine load average during the load: %s mean, %s at most"
        % (fmt(s["load_average"]["mean"]), fmt(s["load_average"]["max"])),
        "well-behaved client: %d requests, p50 %s, p99 %s, max %s; during %d bursts p99 %s"
        % (lat["count"], ms(lat["p50"]), ms(lat["p99"]), ms(lat["max"]), burst_count,
           ms(lat["during_bursts_p99"])),
        "bursts: each from the first connect to the last answer in %s to %s s"
        % (fmt(lat["burst_seconds_min"]), fmt(lat["burst_seconds_max"])),
    ]
    for t in tallies:
        for example in t["examples"]:
            s["lines"].append("  %s: %s" % (t["role"], example))
    return s


ROLE_TEXT = {
    "steady": "well-behaved client: one keep-alive connection, a 1 KiB GET every 20 ms, timed",
    "keep_alive": "keep-alive GETs of 200 small files (0 to 64 KiB, some names percent-encoded), "
                  "pipelined batches of 16, one-request connections",
    "slow_readers": "slow readers of the big listing, every page counted item by item",
    "resetters": "clients that reset (RST) part-way through an 8 MiB file or the big listing",
    "garbage": "garbage, oversized and malformed requests: each must get an error or a close",
    "idle_churn": "idle connections, churned: the oldest ask for a file and close each second",
    "bursts": "bursts of connections at once, each fetches 1 KiB and waits for the others",
}


def commit():
    done = subprocess.run(["git", "log", "-1", "--format=%h"], capture_output=True, text=True)
    return done.stdout.strip() or "an unknown commit"


def write_report(path, s, cfg, args):
    d, r, t, lat = s["descriptors"], s["rss_kib"], s["threads"], s["latency"]
    lines = [
        "# Reliability: the soak run",
        "",
        "`bench/soak --minutes %g` ran a Release quorvin-serve for %g minutes under a mixed load "
        "on %s (%s, %d CPUs), on %s UTC, built from commit %s."
        % (s["seconds"] / 60, s["seconds"] / 60, platform.node() or "this machine",
           platform.machine(), os.cpu_count(),
           datetime.datetime.utcnow().strftime("%Y-%m-%d %H:%M"), commit()),
        "",
        "## Figures",
        "",
        "| measure | value |",
        "|---|---|",
        "| requests answered right | %d |" % s["right"],
        "| requests answered wrong | %d |" % s["wrong"],
        "| failed exchanges (refused, reset by the server, stalled) | %d |" % s["failures"],
        "| open descriptors before the load / peak / after | %d / %s / %s |"
        % (d["before"], d["peak"], d["after"]),
        "| resident memory idle / peak | %s / %s |" % (mib(r["idle"]), mib(r["peak"])),
        "| resident memory 5 s / 10 s after the load | %s / %s |"
        % (mib(r["after_5s"]), mib(r["after_10s"])),
        "| threads before / peak / after | %d / %s / %s |" % (t["before"], t["peak"], t["after"]),
        "| machine load average during the load, mean / max | %s / %s |"
        % (fmt(s["load_average"]["mean"]), fmt(s["load_average"]["max"])),
        "| well-behaved client: requests, p50, p99, max | %d, %s, %s, %s |"
        % (lat["count"], ms(lat["p50"]), ms(lat["p99"]), ms(lat["max"])),
        "| well-behaved client during the %d bursts: requests, p99 | %d, %s |"
        % (lat["bursts"], lat["during_bursts_count"], ms(lat["during_bursts_p99"])),
        "| one burst, from its first connect to its last answer: fastest / slowest | %s s / %s s |"
        % (fmt(lat["burst_seconds_min"]), fmt(lat["burst_seconds_max"])),
        "",
    ]
    if s.get("chart"):
        lines += ["![RSS, descriptors and threads once a second](%s)" % s["chart"], ""]
    lines += ["## The load", "", "| client | what it does | right | wrong | failed |",
              "|---|---|---|---|---|"]
    for tally in s["roles"]:
        lines.append("| %s | %s | %d | %d | %d |" % (tally["role"], ROLE_TEXT[tally["role"]],
                                                    tally["right"], tally["wrong"],
                                                    tally["failures"]))
    lines += [
        "",
        "Sizes: %d keep-alive clients, %d slow readers of a %d-entry listing at %d KiB/s, "
        "%d idle connections churned %d a second, bursts of %d connections every %g s."
        % (cfg["keep_alive_clients"], cfg["slow_readers"], cfg["listing_entries"],
           cfg["slow_bytes_per_second"] // 1024, cfg["idle"], cfg["idle_churn"], cfg["burst"],
           cfg["burst_pause"]),
        "Every client runs in a process of its own, so one client's event loop never delays "
        "another's timing. The CSV of the samples is `build/soak/soak.csv`.",
        "",
    ]
    with open(path, "w") as f:
        f.write("\n".join(lines))
