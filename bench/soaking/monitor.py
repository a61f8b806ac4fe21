"""Once a second: the server's resident memory, open descriptors and threads, from /proc."""
import os
import threading
import time


def sample(pid):
    """(resident KiB, open descriptors, threads) of the process, or None once it has gone."""
    try:
        rss = threads = 0
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
                elif line.startswith("Threads:"):
                    threads = int(line.split()[1])
        return rss, len(os.listdir("/proc/%d/fd" % pid)), threads
    except (FileNotFoundError, ProcessLookupError):
        return None


def machine_load():
    """The one-minute load average: how busy the machine was besides the soak."""
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


class Recorder(threading.Thread):
    """Writes one CSV row a second until stopped: seconds, RSS KiB, descriptors, threads, phase,
    and the machine's load average."""

    def __init__(self, pid, path, started):
        super().__init__(daemon=True)
        self.pid = pid
        self.started = started
        self.rows = []
        self.phase = "idle"
        self.file = open(path, "w")
        self.file.write("seconds,rss_kib,descriptors,threads,phase,load_average\n")
        self.halt = threading.Event()

    def run(self):
        next_tick = time.monotonic()
        while not self.halt.is_set():
            taken = sample(self.pid)
            if taken is not None:
                row = ((round(time.monotonic() - self.started, 1),) + taken +
                       (self.phase, machine_load()))
                self.rows.append(row)
                self.file.write(",".join(str(v) for v in row) + "\n")
                self.file.flush()
            next_tick += 1.0
            self.halt.wait(max(0.0, next_tick - time.monotonic()))
        self.file.close()

    def stop(self):
        self.halt.set()
        self.join()
