"""Starting, watching and stopping the servers under test, each on its own port of 127.0.0.1."""
import os
import resource
import signal
import socket
import subprocess
import time

PYTHON = "/usr/bin/python3"
OPEN_FILES = 8192

NGINX_CONF = """
worker_processes 1;
daemon off;
master_process on;
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;
events {{ worker_connections 8192; }}
http {{
    sendfile on;
    access_log off;
    keepalive_requests 1000000;
    client_body_temp_path {prefix}/body;
    proxy_temp_path {prefix}/proxy;
    fastcgi_temp_path {prefix}/fastcgi;
    uwsgi_temp_path {prefix}/uwsgi;
    scgi_temp_path {prefix}/scgi;
    server {{
        listen 127.0.0.1:{port};
        root {site};
        autoindex on;
    }}
}}
"""


def _raise_open_files():
    resource.setrlimit(resource.RLIMIT_NOFILE, (OPEN_FILES, OPEN_FILES))


def quorvin_command(program, site, port):
    """`--port N FOLDER` where the program's usage names it, else the test port variable."""
    usage = subprocess.run([program], capture_output=True, text=True, timeout=10)
    if "--port" in usage.stdout + usage.stderr:
        return [program, "--port", str(port), site], {}
    return [program, site], {"QUORVIN_TEST_PORT": str(port)}


def nginx_command(work, site, port):
    prefix = os.path.join(work, "nginx")
    os.makedirs(prefix, exist_ok=True)
    conf = os.path.join(prefix, "nginx.conf")
    with open(conf, "w") as out:
        out.write(NGINX_CONF.format(prefix=prefix, port=port, site=site))
    return ["nginx", "-p", prefix, "-c", conf], {}


def peer_commands(program, npm, work, site, ports, baseline=None):
    """(name, command, extra environment) of every server, Quorvin first and nginx second; an
    earlier build of Quorvin, when given, comes last."""
    node_modules = os.path.join(npm, "node_modules")
    earlier = [("quorvin baseline", *quorvin_command(baseline, site, ports[5]))] if baseline else []
    return [
        ("quorvin", *quorvin_command(program, site, ports[0])),
        ("nginx", *nginx_command(work, site, ports[1])),
        ("python http.server",
         [PYTHON, "-m", "http.server", str(ports[2]), "--bind", "127.0.0.1", "--directory", site],
         {}),
        ("npm http-server",
         ["node", os.path.join(node_modules, "http-server", "bin", "http-server"), site, "-p",
          str(ports[3]), "-a", "127.0.0.1", "-c-1", "-s"], {}),
        ("npm serve",
         ["node", os.path.join(node_modules, "serve", "build", "main.js"), "-n", "-L", "-l",
          "tcp://127.0.0.1:%d" % ports[4], site], {}),
    ] + earlier


def free_ports(count):
    sockets = []
    for _ in range(count):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        sockets.append(s)
    ports = [s.getsockname()[1] for s in sockets]
    for s in sockets:
        s.close()
    return ports


class Server:
    def __init__(self, name, command, environment, port, log):
        self.name = name
        self.port = port
        env = dict(os.environ, **environment)
        self.process = subprocess.Popen(command, env=env, stdout=log, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL, preexec_fn=_raise_open_files,
                                        start_new_session=True)
        self._wait_listening()

    def _wait_listening(self):
        for _ in range(200):
            if self.process.poll() is not None:
                raise RuntimeError("%s ended at start (status %d)" % (self.name,
                                                                     self.process.returncode))
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError("%s does not listen on port %d" % (self.name, self.port))

    def pids(self):
        """The server process and all its descendants (nginx: master and worker)."""
        parents = {}
        for entry in os.listdir("/proc"):
            if entry.isdigit():
                try:
                    with open("/proc/%s/stat" % entry) as f:
                        fields = f.read().rsplit(")", 1)[1].split()
                    parents[int(entry)] = int(fields[1])
                except (OSError, IndexError):
                    pass
        found = [self.process.pid]
        for pid in found:
            found.extend(child for child, parent in parents.items() if parent == pid)
        return found

    def _status_kib(self, key):
        total = 0
        for pid in self.pids():
            try:
                with open("/proc/%d/status" % pid) as f:
                    for line in f:
                        if line.startswith(key + ":"):
                            total += int(line.split()[1])
            except OSError:
                pass
        return total

    def rss_kib(self):
        return self._status_kib("VmRSS")

    def reset_peak(self):
        """Makes the peak resident size (VmHWM) start again from the present size."""
        for pid in self.pids():
            try:
                with open("/proc/%d/clear_refs" % pid, "w") as f:
                    f.write("5")
            except OSError:
                pass

    def peak_kib(self):
        return self._status_kib("VmHWM")

    def stop(self):
        if self.process.poll() is None:
            os.killpg(self.process.pid, signal.SIGTERM)
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
