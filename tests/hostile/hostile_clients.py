#!/usr/bin/env python3
"""Hostile clients against a running copy of Tarnwick.

A private copy of the real program serves a temporary games folder on a free
loopback port. A well-behaved client fetches the descriptor and the archive
the whole time and checks every byte, while timed phases attack the server:
ten thousand silent connections, slow headers and slow reads, malformed and
oversized requests, path traversal, resets in mid-transfer, long pipelines,
and (on a second copy with few descriptors and short idle limits) silent
connections that take every descriptor it has. At the end a table says
whether the well-behaved client was ever failed, whether the server
survived, how much memory it peaked at and whether its descriptors came back
to where they started.

Python 3 standard library only; slowhttptest is used when it is on PATH.
Every connection goes to 127.0.0.1, and every loop stops by count and time.
"""

import argparse
import errno
import os
import random
import resource
import selectors
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

HOST = "127.0.0.1"
REQUEST_TIMEOUT = 10.0
# A connection the server closes itself may linger up to 30 s while it
# waits for the peer.
LINGER_LIMIT = 30.0
# The server keeps the files it served open for the next request, and lets
# go of each once nobody asked for it this long (its open file cache).
FILE_CACHE_IDLE = 5.0
# Whatever the server still holds once the clients are gone must be let go
# within the longer of the two; a few seconds on top cover the event loop's
# pace. A descriptor held longer is a leak.
FD_RETURN_LIMIT = max(LINGER_LIMIT, FILE_CACHE_IDLE) + 5.0
# While the well-behaved client runs it holds a kept connection and a fresh
# one, and the server keeps the descriptor and the archive it fetches open
# between its requests (the file being sent is one of those).
GOOD_CLIENT_FDS = 4
# At most this many silent connections in all against the copy whose
# descriptors run out.
FLOOD_CAP = 20000

JAD_MIME = "text/vnd.sun.j2me.app-descriptor"
JAR_MIME = "application/java-archive"
HTML_MIME = "text/html"
NOT_FOUND_LENGTH = 91


def log(message):
    print(f"[{time.strftime('%H:%M:%S')}] {message}", flush=True)


# ---------------------------------------------------------------- the server


class Server:
    """The program copied into a folder of its own, with its settings file,
    a games folder and a secret beside (not inside) that folder. Extra lines
    for the settings' [Server Setting] section and a descriptor limit (soft
    and hard, set by the launcher) are optional."""

    def __init__(self, binary, root, server_settings="", fd_limit=None):
        self.root = root
        self.fd_limit = fd_limit
        self.games = os.path.join(root, "games")
        os.makedirs(self.games)
        self.files = {}
        rng = random.Random(8)
        jad = ("MIDlet-Name: Hostile\nMIDlet-Vendor: Tarnwick tests\nMIDlet-Version: 1.0.0\n"
               "MIDlet-Jar-URL: big.jar\nMIDlet-Jar-Size: 1048576\n"
               "MicroEdition-Profile: MIDP-2.0\nMicroEdition-Configuration: CLDC-1.1\n"
               "MIDlet-1: Hostile, /icon.png, hostile.Main\nMIDlet-Description: a descriptor of a few hundred bytes\n")
        self._add("hello.jad", jad.encode(), JAD_MIME)
        self._add("big.jar", rng.randbytes(1024 * 1024), JAR_MIME)
        # Small pages of their own content, so that a pipeline's order shows.
        for number in range(10):
            self._add(f"page{number}.html", f"<html><body>page {number} {'x' * number * 37}</body></html>".encode(), HTML_MIME)

        # The server's working folder holds the secret too, so that a path
        # taken relative to it would find it.
        self.secret = b"TARNWICK-SECRET-" + rng.randbytes(16).hex().encode()
        with open(os.path.join(root, "secret.txt"), "wb") as out:
            out.write(self.secret + b"\n")

        self.binary = os.path.join(root, "tarnwick")
        shutil.copy2(binary, self.binary)
        self.port = free_port()
        with open(os.path.join(root, "Tarnwick.ini"), "w") as ini:
            ini.write(f"[Server Setting]\nLocalPort={self.port}\n{server_settings}\n"
                      f"[Directory Setting]\nVirtual Directory={self.games}\n")

        self.stdout_lines = 0
        self.stdout_tail = []
        self.process = None
        self.exit_code = None

    def _add(self, name, data, mime):
        with open(os.path.join(self.games, name), "wb") as out:
            out.write(data)
        self.files["/" + name] = (data, mime)

    def start(self):
        env = dict(os.environ)
        for name in ("DISPLAY", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        env["QT_QPA_PLATFORM"] = "offscreen"
        env.setdefault("XDG_RUNTIME_DIR", self.root)
        self.stderr_file = open(os.path.join(self.root, "stderr.txt"), "wb")
        command = [self.binary]
        if self.fd_limit:
            # In place before the program starts, so that it sizes whatever it
            # reserves by the limit it will live with.
            command = ["prlimit", f"--nofile={self.fd_limit}:{self.fd_limit}", "--", self.binary]
        self.process = subprocess.Popen(command, cwd=self.root, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=self.stderr_file)
        threading.Thread(target=self._drain, daemon=True).start()
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"the server exited at start with {self.process.returncode}")
            try:
                socket.create_connection((HOST, self.port), timeout=1).close()
                return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("the server did not listen within 15 s")

    def _drain(self):
        # Read all the time: a full pipe would stall the server's event loop.
        for line in self.process.stdout:
            self.stdout_lines += 1
            self.stdout_tail.append(line)
            if len(self.stdout_tail) > 40:
                del self.stdout_tail[:20]

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def fd_count(self):
        try:
            return len(os.listdir(f"/proc/{self.process.pid}/fd"))
        except OSError:
            return None

    def status_kib(self, field):
        try:
            with open(f"/proc/{self.process.pid}/status") as status:
                for line in status:
                    if line.startswith(field + ":"):
                        return int(line.split()[1])
        except OSError:
            pass
        return None

    def stop(self):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.stderr_file.close()
        self.exit_code = self.process.returncode
        self.process = None


def free_port():
    with socket.socket() as probe:
        probe.bind((HOST, 0))
        return probe.getsockname()[1]


class Monitor(threading.Thread):
    """Samples the server's descriptors and memory, and notes a death."""

    def __init__(self, server):
        super().__init__(daemon=True)
        self.server = server
        self.stop_event = threading.Event()
        self.peak_fds = 0
        self.peak_rss_kib = 0
        self.died_at = None

    def run(self):
        while not self.stop_event.wait(0.1):
            if not self.server.alive():
                self.died_at = self.died_at or time.strftime("%H:%M:%S")
                continue
            fds = self.server.fd_count()
            rss = self.server.status_kib("VmRSS")
            if fds:
                self.peak_fds = max(self.peak_fds, fds)
            if rss:
                self.peak_rss_kib = max(self.peak_rss_kib, rss)


# ---------------------------------------------------------------- reading answers


class Failure(Exception):
    """A wrong answer: bytes that are not what the server must send."""


class Missing(Exception):
    """No answer in time, or the connection went away."""


class Closed(Missing):
    """The connection went away: closed or reset by the server."""


class Connection:
    def __init__(self, port, timeout=REQUEST_TIMEOUT):
        try:
            self.sock = socket.create_connection((HOST, port), timeout=timeout)
        except OSError as error:
            raise Missing(f"connect: {error}") from error
        self.buffer = bytearray()
        self.received = 0

    def send(self, data):
        try:
            self.sock.sendall(data)
        except socket.timeout as error:
            raise Missing("send timed out") from error
        except OSError as error:
            raise Closed(f"send: {error}") from error

    def _fill(self, deadline):
        remaining = deadline - time.monotonic()
        if remaining <= 0:
            raise Missing("timed out")
        self.sock.settimeout(remaining)
        try:
            chunk = self.sock.recv(262144)
        except socket.timeout as error:
            raise Missing("timed out") from error
        except OSError as error:
            raise Closed(f"recv: {error}") from error
        if not chunk:
            raise Closed("closed by the server")
        self.received += len(chunk)
        self.buffer += chunk

    def read_response(self, deadline):
        """Status line, field lines and body of the next answer."""
        while True:
            end = self.buffer.find(b"\r\n\r\n")
            if end >= 0:
                break
            if len(self.buffer) > 65536:
                raise Failure(f"no end of header in {len(self.buffer)} bytes")
            self._fill(deadline)
        head = bytes(self.buffer[:end])
        del self.buffer[:end + 4]
        lines = head.split(b"\r\n")
        status, fields = lines[0], lines[1:]
        lengths = [line for line in fields if line.lower().startswith(b"content-length:")]
        if len(lengths) != 1:
            raise Failure(f"{len(lengths)} Content-Length fields in {head[:200]!r}")
        try:
            length = int(lengths[0].split(b":", 1)[1])
        except ValueError as error:
            raise Failure(f"bad Content-Length in {head[:200]!r}") from error
        while len(self.buffer) < length:
            self._fill(deadline)
        body = bytes(self.buffer[:length])
        del self.buffer[:length]
        return status, fields, body

    def closed_by_server(self, within):
        """True when the server closes its end within the time, with nothing more sent."""
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            self.sock.settimeout(max(0.01, deadline - time.monotonic()))
            try:
                chunk = self.sock.recv(65536)
            except socket.timeout:
                return False
            except OSError:
                return True
            if not chunk:
                return True
            self.received += len(chunk)
            self.buffer += chunk
        return False

    def silent_for(self, seconds):
        """True when nothing arrives and the connection stays up for the time."""
        self.sock.settimeout(seconds)
        try:
            chunk = self.sock.recv(65536)
        except socket.timeout:
            return True
        except OSError:
            return False
        self.buffer += chunk
        return False

    def reset(self):
        # A zero linger makes close send a reset instead of an orderly end.
        try:
            self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        except OSError:
            pass
        self.sock.close()

    def close(self):
        self.sock.close()


class Checker:
    """Knows the exact answer for every file and checks answers against it."""

    def __init__(self, server):
        self.server = server
        self.server_fields = None
        self.lock = threading.Lock()
        self.secret_seen = 0

    def scan(self, data):
        # The marker and a few characters of the random part are enough.
        if self.server.secret[:24] in data:
            with self.lock:
                self.secret_seen += 1

    def _common(self, status, fields, body, want_status, want_mime):
        self.scan(body)
        if status != want_status:
            raise Failure(f"status {status[:80]!r}, wanted {want_status!r}")
        names = sorted(line.split(b":", 1)[0].lower() for line in fields)
        if names != [b"content-length", b"content-type", b"server"]:
            raise Failure(f"fields {fields!r}")
        if f"Content-Length:{len(body)}".encode() not in fields:
            raise Failure(f"Content-Length line in {fields!r}")
        if f"Content-type:{want_mime}".encode() not in fields:
            raise Failure(f"Content-type line in {fields!r}, wanted {want_mime}")
        server_line = [line for line in fields if line.lower().startswith(b"server:")][0]
        with self.lock:
            if self.server_fields is None:
                self.server_fields = server_line
        if server_line != self.server_fields:
            raise Failure(f"Server field changed to {server_line!r}")

    def file(self, answer, path):
        status, fields, body = answer
        data, mime = self.server.files[path]
        self._common(status, fields, body, b"HTTP/1.0 200 OK", mime)
        if body != data:
            raise Failure(f"{path}: body of {len(body)} bytes differs from the file of {len(data)}")

    def not_found(self, answer):
        status, fields, body = answer
        self._common(status, fields, body, b"HTTP/1.0 404 Not Found", HTML_MIME)
        if len(body) != NOT_FOUND_LENGTH:
            raise Failure(f"404 page of {len(body)} bytes")

    def bad_request(self, answer):
        status, fields, body = answer
        self._common(status, fields, body, b"HTTP/1.0 400 Bad Request", HTML_MIME)

    def expect(self, answer, what):
        if what == 404:
            self.not_found(answer)
        elif what == 400:
            self.bad_request(answer)
        else:
            self.file(answer, what)


def get(path):
    return f"GET {path} HTTP/1.0\r\nHost: {HOST}\r\nUser-Agent: hostile-clients\r\n\r\n".encode()


# ---------------------------------------------------------------- the well-behaved client


class Reclaimed(Exception):
    """The server closed a kept connection before any byte of the answer."""


class GoodClient(threading.Thread):
    """Fetches the descriptor and the archive all the time, on fresh
    connections and on one kept open, and checks every byte.

    With retry_reclaimed, a kept connection that the server closes before any
    byte of an answer came (it closed the connection as idle just as the
    request went out) is retried once on a fresh connection, as a browser
    does with a reused connection; the retry must then be answered."""

    def __init__(self, server, checker, retry_reclaimed=False):
        super().__init__(daemon=True)
        self.retry_reclaimed = retry_reclaimed
        self.reclaimed = 0
        self.port = server.port
        self.checker = checker
        self.stop_event = threading.Event()
        self.requests = 0
        self.wrong = 0
        self.missing = 0
        self.slowest = 0.0
        self.phase = "start"
        self.slowest_phase = ""
        self.problems = []

    def _note(self, kind, message):
        if kind == "wrong":
            self.wrong += 1
        else:
            self.missing += 1
        if len(self.problems) < 20:
            self.problems.append(f"{time.strftime('%H:%M:%S')} {kind}: {message}")

    def _exchange(self, connection, paths, kept=False):
        started = time.monotonic()
        deadline = started + REQUEST_TIMEOUT
        before = connection.received
        try:
            connection.send(b"".join(get(path) for path in paths))
            for path in paths:
                self.requests += 1
                self.checker.expect(connection.read_response(deadline), path)
        except Closed as problem:
            if kept and self.retry_reclaimed and connection.received == before:
                raise Reclaimed(str(problem)) from problem
            raise
        took = time.monotonic() - started
        if took > self.slowest:
            self.slowest, self.slowest_phase = took, self.phase

    def run(self):
        kept, kept_uses = None, 0
        plans = [("fresh", ["/hello.jad"]), ("fresh", ["/big.jar"]), ("kept", ["/hello.jad"]),
                 ("kept", ["/big.jar"]), ("kept", ["/hello.jad", "/big.jar", "/hello.jad"])]
        step = 0
        while not self.stop_event.is_set():
            how, paths = plans[step % len(plans)]
            step += 1
            connection = None
            try:
                if how == "fresh":
                    connection = Connection(self.port)
                    self._exchange(connection, paths)
                    connection.close()
                else:
                    if kept is None or kept_uses >= 30:
                        if kept:
                            kept.close()
                        kept, kept_uses = Connection(self.port), 0
                    kept_uses += 1
                    try:
                        self._exchange(kept, paths, kept=True)
                    except Reclaimed:
                        self.reclaimed += 1
                        kept.close()
                        kept, kept_uses = Connection(self.port), 1
                        self._exchange(kept, paths)
            except (Failure, Missing) as problem:
                self._note("wrong" if isinstance(problem, Failure) else "missing", f"{how} {paths}: {problem}")
                if connection:
                    connection.close()
                if how == "kept" and kept:
                    kept.close()
                    kept = None
            self.stop_event.wait(0.02)
        if kept:
            kept.close()


# ---------------------------------------------------------------- the phases


class Results:
    def __init__(self):
        self.rows = []  # (phase, what was done, problems found, notes)
        self.problems = []

    def add(self, phase, done, problems, note=""):
        self.rows.append((phase, done, problems, note))

    def problem(self, phase, message):
        if len(self.problems) < 60:
            self.problems.append(f"{phase}: {message}")


def open_silent(port, count, limit_seconds):
    """Opens connections in batches without waiting for each in turn: the
    listener's queue is short, and a dropped handshake costs its sender a
    one-second retry, which batches let overlap."""
    started = time.monotonic()
    sockets, failed = [], 0
    while len(sockets) + failed < count and time.monotonic() - started < limit_seconds:
        batch = []
        for _ in range(min(100, count - len(sockets) - failed)):
            sock = socket.socket()
            sock.setblocking(False)
            sock.connect_ex((HOST, port))
            batch.append(sock)
        deadline = time.monotonic() + 10
        pending = set(batch)
        with selectors.DefaultSelector() as selector:
            for sock in batch:
                selector.register(sock, selectors.EVENT_WRITE)
            while pending and time.monotonic() < deadline:
                for key, _ in selector.select(max(0.01, deadline - time.monotonic())):
                    sock = key.fileobj
                    selector.unregister(sock)
                    pending.discard(sock)
                    if sock.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) == 0:
                        sockets.append(sock)
                    else:
                        failed += 1
                        sock.close()
        for sock in pending:
            failed += 1
            sock.close()
    return sockets, failed, time.monotonic() - started


def wait_for_fds(server, ceiling, limit):
    """Seconds until the server holds at most `ceiling` descriptors, or None."""
    started = time.monotonic()
    while server.alive() and time.monotonic() - started < limit:
        count = server.fd_count()
        if count is not None and count <= ceiling:
            return time.monotonic() - started
        time.sleep(0.25)
    return None


def phase_silent_connections(server, results, count, hold, baseline_fds):
    """Many connections that never send a byte; half are reset at the end.
    Then the server's descriptors must come back to the baseline."""
    sockets, refused, took = open_silent(server.port, count, 60)
    log(f"  {len(sockets)} silent connections open in {took:.1f} s ({refused} failed); holding {hold:.0f} s")
    time.sleep(min(1.0, hold))
    held = server.fd_count()
    time.sleep(max(0.0, hold - 1.0))
    # None of them asked anything, so none may have been answered or closed.
    answered = 0
    for sock in sockets:
        sock.setblocking(False)
        try:
            sock.recv(1)
            answered += 1
        except BlockingIOError:
            pass
        except OSError:
            answered += 1
    for number, sock in enumerate(sockets):
        if number % 2:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        sock.close()
    if answered:
        results.problem("silent", f"{answered} silent connections got bytes or were closed")
    back = wait_for_fds(server, baseline_fds + GOOD_CLIENT_FDS, FD_RETURN_LIMIT)
    if back is None:
        results.problem("silent", f"descriptors not back to {baseline_fds} (+{GOOD_CLIENT_FDS} of the well-behaved "
                                  f"client) within {FD_RETURN_LIMIT:.0f} s: {server.fd_count()}")
    results.add("silent connections", f"{len(sockets)} held {hold:.0f} s, half closed by reset",
                answered + refused + (back is None),
                f"all open after {took:.1f} s; the server held {held} descriptors"
                + (f", back to the baseline {back:.1f} s after they left" if back is not None else ", not back")
                + (f"; {refused} could not connect" if refused else ""))


def flood_silent(server, width, seconds, cap):
    """Keeps `width` silent connections open to the server for the time,
    opening a new one for each that the server closes, at most `cap` in all.
    Those beyond the server's descriptors wait in its listen queue. The
    replacements are spread over the whole time: a server that makes room
    quickly would otherwise use up the cap in the first seconds and face no
    pressure for the rest. Returns (opened, closed by the server, answered,
    refused, peak server descriptors)."""
    opened = closed = answered = refused = peak = 0
    live = set()
    started = time.monotonic()
    end = started + seconds
    with selectors.DefaultSelector() as selector:
        try:
            while time.monotonic() < end and server.alive():
                allowed = min(cap, width + int((cap - width) * (time.monotonic() - started) / seconds))
                while len(live) < width and opened < allowed:
                    sock = socket.socket()
                    sock.setblocking(False)
                    opened += 1
                    if sock.connect_ex((HOST, server.port)) not in (0, errno.EINPROGRESS):
                        refused += 1
                        sock.close()
                        continue
                    selector.register(sock, selectors.EVENT_READ)
                    live.add(sock)
                for key, _ in selector.select(0.1):
                    sock = key.fileobj
                    try:
                        if sock.recv(1):
                            answered += 1
                        else:
                            closed += 1
                    except BlockingIOError:
                        continue
                    except ConnectionRefusedError:
                        refused += 1
                    except OSError:
                        closed += 1
                    selector.unregister(sock)
                    live.discard(sock)
                    sock.close()
                peak = max(peak, server.fd_count() or 0)
        finally:
            for number, sock in enumerate(live):
                if number % 2:
                    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                sock.close()
    return opened, closed, answered, refused, peak


def phase_descriptor_exhaustion(binary, root, results, seconds, fd_limit, idle_limit):
    """A second copy of the server, its descriptors capped and its idle and
    header limits short. Silent connections take every descriptor it has and
    more wait in its queue, replaced as the server closes them, while a
    well-behaved client keeps fetching from it: the server must make room by
    closing idle connections, and fail the well-behaved client never. The
    flood lasts well beyond the well-behaved client's time limit, so that a
    request the server never admits shows as missing."""
    name = "descriptors exhausted"
    width = 2 * fd_limit
    server = Server(binary, os.path.join(root, "exhaustion"), fd_limit=fd_limit,
                    server_settings=f"IdleTimeout={idle_limit}\nHeaderTimeout={idle_limit}\n")
    try:
        server.start()
    except RuntimeError as error:
        server.stop()
        results.add(name, "not run: the server's copy did not start", 1, str(error))
        return
    try:
        checker = Checker(server)
        baseline_fds, _ = warm_up(server, checker)
        good = GoodClient(server, checker, retry_reclaimed=True)
        good.phase = name
        good.start()
        time.sleep(0.5)
        opened, closed, answered, refused, peak = flood_silent(server, width, seconds, FLOOD_CAP)
        good.stop_event.set()
        good.join()
        back = wait_for_fds(server, baseline_fds, FD_RETURN_LIMIT)
        alive = server.alive()
    finally:
        server.stop()
    for line in good.problems:
        results.problem(name, line)
    if answered:
        results.problem(name, f"{answered} silent connections were sent bytes")
    if back is None:
        results.problem(name, f"descriptors not back to the baseline of {baseline_fds} within {FD_RETURN_LIMIT:.0f} s")
    if not alive:
        results.problem(name, f"the server's copy exited with {server.exit_code}")
    results.add(name, f"a copy with {fd_limit} descriptors, idle and header limits of {idle_limit} s; "
                      f"{width} silent connections kept open for {seconds:.0f} s, each closed one replaced "
                      f"(at most {FLOOD_CAP} in all, spread over the time), {opened} in all",
                good.wrong + good.missing + answered + (back is None) + (not alive),
                f"well-behaved client: {good.requests} requests, {good.wrong} wrong, {good.missing} missing, "
                f"slowest {good.slowest:.2f} s, "
                f"{good.reclaimed} kept connections closed while idle (retried); the server closed {closed} silent "
                f"connections, held at most {peak} descriptors"
                + (f", back to the baseline of {baseline_fds} {back:.1f} s after the end" if back is not None else "")
                + (f"; {refused} refused" if refused else ""))


def phase_slowhttptest(server, results, mode, seconds, logdir):
    tool = shutil.which("slowhttptest")
    name = {"-H": "slow headers (slowhttptest -H)", "-X": "slow read (slowhttptest -X)"}[mode]
    if not tool:
        results.add(name, "skipped: slowhttptest not installed", 0)
        return
    if mode == "-H":
        args = ["-H", "-c", "1000", "-r", "200", "-i", "5", "-x", "24", "-u", f"http://{HOST}:{server.port}/hello.jad"]
        done = f"1000 connections at 200/s, a header line every 5 s, {seconds} s"
    else:
        args = ["-X", "-c", "200", "-r", "100", "-k", "2", "-n", "1", "-w", "64", "-y", "512", "-z", "64",
                "-u", f"http://{HOST}:{server.port}/big.jar"]
        done = f"200 connections at 100/s, 2 x 1 MiB asked each, read 64 B/s, {seconds} s"
    path = os.path.join(logdir, f"slowhttptest{mode}.log")
    with open(path, "wb") as out:
        tool_process = subprocess.Popen([tool, *args, "-l", str(seconds), "-p", "5"], stdout=out, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        try:
            code = tool_process.wait(seconds + 60)
        except subprocess.TimeoutExpired:
            tool_process.kill()
            tool_process.wait()
            code = "killed"
    with open(path, "rb") as logged:
        text = logged.read().decode(errors="replace")
    # Its own probe connection says whether the service stayed available.
    unavailable = text.count("service available:   NO")
    results.add(name, done, 0, f"tool exit {code}; its probe saw the service unavailable in {unavailable} reports")


def random_garbage(rng, size):
    # Bytes without CR or LF, broken into lines, so the request is complete.
    body = bytes(rng.choice([b for b in range(256) if b not in (10, 13)]) for _ in range(size))
    lines = [body[i:i + rng.randint(1, 200)] for i in range(0, len(body), 200)]
    return b"\r\n".join(lines) + b"\r\n\r\n"


def malformed_cases(server, rng):
    """(name, bytes sent, what must come back). Outcomes:
    400-close  a 400 answer, then the server closes;
    400-open   a 400 answer, and a following GET on the same connection is served;
    404        a 404 answer, and a following GET is served;
    none       no answer at all, and a following GET is served first;
    none-open  an incomplete request: nothing comes back and the connection stays up;
    400|none   either of the two, the connection staying usable."""
    root_name = os.path.basename(server.root)
    secret_abs = os.path.join(server.root, "secret.txt")
    cases = [
        ("request line of 1 word", b"GET\r\n\r\n", "400-open"),
        ("request line of 2 words", b"GET /hello.jad\r\n\r\n", "400-open"),
        ("empty request line", b"\r\n\r\n", "400-open"),
        ("NUL inside the path", b"GET /hel\x00lo.jad HTTP/1.0\r\n\r\n", "404"),
        ("NUL after a real file name", b"GET /hello.jad\x00.txt HTTP/1.0\r\n\r\n", "404"),
        ("path of 60 KB", b"GET /" + b"a" * 60000 + b".jad HTTP/1.0\r\n\r\n", "404"),
        ("path of 60 KB of segments", b"GET " + b"/abc" * 15000 + b" HTTP/1.0\r\n\r\n", "404"),
        ("path beyond 64 KiB", b"GET /" + b"a" * 70000 + b" HTTP/1.0\r\n\r\n", "400-close"),
        ("header beyond 64 KiB, no blank line", b"GET /hello.jad HTTP/1.0\r\n" + b"X-Pad: abcdefgh\r\n" * 4200, "400-close"),
        ("one field beyond 64 KiB", b"GET /hello.jad HTTP/1.0\r\nX-Big: " + b"z" * 70000, "400-close"),
        ("Content-Length empty", b"GET /hello.jad HTTP/1.0\r\nContent-Length:\r\n\r\n", "400-close"),
        ("Content-Length -1", b"GET /hello.jad HTTP/1.0\r\nContent-Length: -1\r\n\r\n", "400-close"),
        ("Content-Length 1.5", b"GET /hello.jad HTTP/1.0\r\nContent-Length: 1.5\r\n\r\n", "400-close"),
        ("Content-Length 99999999999", b"GET /hello.jad HTTP/1.0\r\nContent-Length: 99999999999\r\n\r\n", "400-close"),
        ("Content-Length abc", b"GET /hello.jad HTTP/1.0\r\nContent-Length: abc\r\n\r\n", "400-close"),
        ("Content-Length 1 MiB + 1", b"GET /hello.jad HTTP/1.0\r\nContent-Length: 1048577\r\n\r\n", "400-close"),
        ("Content-Length 1 MiB with its body",
         b"GET /hello.jad HTTP/1.0\r\nContent-Length: 1048576\r\n\r\n" + rng.randbytes(1048576), "/hello.jad"),
        ("POST with a body", b"POST /hello.jad HTTP/1.0\r\nContent-Length: 5\r\n\r\nhello", "none"),
        ("unknown method", b"BREW /hello.jad HTTP/1.0\r\n\r\n", "none"),
        ("half a request, never finished", b"GET /hello.jad HTTP/1.0\r\nHost: 1", "none-open"),
        ("random bytes, no blank line", bytes(b for b in rng.randbytes(4000) if b not in (10, 13)), "none-open"),
        ("random bytes in lines", random_garbage(rng, 3000), "400|none"),
        ("random bytes with spaces", b" ".join(rng.randbytes(8).replace(b"\r", b"").replace(b"\n", b"").replace(b" ", b"")
                                               for _ in range(5)) + b"\r\n\r\n", "400|none"),
    ]
    traversal = [
        "/../secret.txt", "/./../secret.txt", "//../secret.txt", "/games/../secret.txt",
        "/hello.jad/../../secret.txt", "/page1.html/../../secret.txt", "/../games/../secret.txt",
        f"/../../{root_name}/secret.txt", "/" + "../" * 30 + secret_abs.lstrip("/"), "/..%2fsecret.txt",
        "/%2e%2e/secret.txt", "/..\\secret.txt", "/.../secret.txt", secret_abs,
        "secret.txt", "./secret.txt", "../secret.txt", "..", "/..", "/.", "/", "/.hidden",
    ]
    for path in traversal:
        outcome = "404"
        cases.append((f"traversal {path[:60]!r}", f"GET {path} HTTP/1.0\r\n\r\n".encode(), outcome))
    return cases


def run_case(server, checker, name, data, outcome):
    """Returns None when the server behaved, else what went wrong."""
    try:
        connection = Connection(server.port)
    except Missing as problem:
        return str(problem)
    deadline = time.monotonic() + REQUEST_TIMEOUT
    try:
        connection.send(data)
        if outcome == "none-open":
            if not connection.silent_for(0.3):
                return f"answered or closed: {bytes(connection.buffer[:80])!r}"
            return None
        if outcome == "400-close":
            checker.bad_request(connection.read_response(deadline))
            if not connection.closed_by_server(5):
                return "not closed within 5 s after the 400"
            return None
        # Every other case must leave the connection usable: a good request
        # follows, and its answer must come next after the case's own.
        connection.send(get("/page3.html"))
        if outcome == "none":
            checker.file(connection.read_response(deadline), "/page3.html")
            return None
        first = connection.read_response(deadline)
        if outcome == "400|none":
            if first[0].startswith(b"HTTP/1.0 400"):
                checker.bad_request(first)
                first = connection.read_response(deadline)
            checker.file(first, "/page3.html")
            return None
        checker.expect(first, 400 if outcome == "400-open" else 404 if outcome == "404" else outcome)
        checker.file(connection.read_response(deadline), "/page3.html")
        return None
    except (Failure, Missing) as problem:
        return str(problem)
    finally:
        checker.scan(bytes(connection.buffer))
        connection.close()


def phase_malformed(server, checker, results, seconds, rng):
    cases = malformed_cases(server, rng)
    started = time.monotonic()
    runs = 0
    failed = {}
    rounds = 0
    while time.monotonic() - started < seconds and rounds < 50:
        rounds += 1
        for name, data, outcome in cases:
            runs += 1
            trouble = run_case(server, checker, name, data, outcome)
            if trouble:
                failed[name] = failed.get(name, 0) + 1
                if failed[name] == 1:
                    results.problem("malformed", f"{name}: {trouble}")
    results.add("malformed requests", f"{len(cases)} cases x {rounds} rounds = {runs} requests",
                sum(failed.values()), ", ".join(f"{name} x{count}" for name, count in failed.items()))


def phase_resets(server, checker, results, seconds, limit):
    """Connections that vanish at awkward moments; the server must not mind."""
    started = time.monotonic()
    counts = {}
    problems = 0

    def mid_download(conn):
        conn.send(get("/big.jar"))
        deadline = time.monotonic() + REQUEST_TIMEOUT
        while conn.received < 300000:
            conn._fill(deadline)
        conn.reset()

    def after_request(conn):
        conn.send(get("/big.jar"))
        conn.reset()

    def with_queue(conn):
        conn.send(get("/big.jar") * 4)
        deadline = time.monotonic() + REQUEST_TIMEOUT
        while conn.received < 100000:
            conn._fill(deadline)
        conn.reset()

    def header_then_close(conn):
        conn.send(b"GET /hello.jad HTTP/1.0\r\nContent-Length: 100\r\n\r\n")
        conn.close()

    def part_body_then_close(conn):
        conn.send(b"GET /hello.jad HTTP/1.0\r\nContent-Length: 100\r\n\r\n0123456789")
        conn.close()

    def header_then_reset(conn):
        conn.send(b"GET /hello.jad HTTP/1.0\r\nContent-Length: 100\r\n\r\n0123456789")
        conn.reset()

    kinds = [("reset in mid 1 MiB download", mid_download), ("reset right after the request", after_request),
             ("reset with 4 answers queued", with_queue), ("close between header and body", header_then_close),
             ("close in the middle of the body", part_body_then_close), ("reset in the middle of the body", header_then_reset)]
    total = 0
    while time.monotonic() - started < seconds and total < limit:
        for name, action in kinds:
            total += 1
            conn = None
            try:
                conn = Connection(server.port)
                action(conn)
                counts[name] = counts.get(name, 0) + 1
            except (Failure, Missing, OSError) as problem:
                problems += 1
                results.problem("resets", f"{name}: {problem}")
                if conn:
                    conn.close()
    # The server must still answer after all that.
    try:
        conn = Connection(server.port)
        conn.send(get("/hello.jad"))
        checker.file(conn.read_response(time.monotonic() + REQUEST_TIMEOUT), "/hello.jad")
        conn.close()
    except (Failure, Missing) as problem:
        problems += 1
        results.problem("resets", f"request after the resets: {problem}")
    results.add("resets and early closes", f"{total} connections, {len(kinds)} kinds", problems)

    # A peer that shuts its sending half after a whole request (as some
    # HTTP/1.0 clients do) must still get its answer before the server lets
    # the connection go.
    served = 0
    for _ in range(5):
        conn = None
        try:
            conn = Connection(server.port)
            conn.send(get("/hello.jad"))
            conn.sock.shutdown(socket.SHUT_WR)
            checker.file(conn.read_response(time.monotonic() + 3), "/hello.jad")
            served += 1
        except (Failure, Missing) as problem:
            results.problem("half close", f"no whole answer after shutting the sending half: {problem}")
        if conn:
            conn.close()
    results.add("half close after a request", "5 connections", 5 - served, f"{served} of 5 got their answer")


def phase_pipeline(server, checker, results, rounds, rng):
    """100 requests on one connection; answers must come in request order."""
    problems = 0
    for number in range(rounds):
        paths = []
        for index in range(100):
            pick = rng.random()
            if index % 10 == 5:
                paths.append("/big.jar")
            elif pick < 0.15:
                paths.append("/hello.jad")
            elif pick < 0.25:
                paths.append(f"/missing{index}.jad")
            else:
                paths.append(f"/page{rng.randrange(10)}.html")
        data = b"".join(get(path) for path in paths)
        try:
            conn = Connection(server.port)
            if number % 2:
                # In small uneven pieces, so requests straddle arrivals.
                offset = 0
                while offset < len(data):
                    size = rng.randint(1, 400)
                    conn.send(data[offset:offset + size])
                    offset += size
            else:
                conn.send(data)
            deadline = time.monotonic() + 30
            for index, path in enumerate(paths):
                answer = conn.read_response(deadline)
                try:
                    checker.expect(answer, 404 if path.startswith("/missing") else path)
                except Failure as problem:
                    raise Failure(f"answer {index} for {path}: {problem}") from problem
            if not conn.silent_for(0.2):
                raise Failure("bytes after the 100th answer")
            conn.close()
        except (Failure, Missing) as problem:
            problems += 1
            results.problem("pipeline", f"round {number}: {problem}")
    results.add("pipelining", f"{rounds} rounds of 100 requests, half sent in small pieces", problems)


def phase_unread_answers(server, results, asked):
    """One connection asks for the 1 MiB archive many times and reads nothing:
    how much does the server hold for it?"""
    before = server.status_kib("VmRSS") or 0
    conn = Connection(server.port)
    conn.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
    conn.send(get("/big.jar") * asked)
    time.sleep(4)
    during = server.status_kib("VmRSS") or 0
    conn.reset()
    time.sleep(2)
    after = server.status_kib("VmRSS") or 0
    grown = (during - before) / 1024
    results.add("unread pipelined answers", f"1 connection, {asked} x 1 MiB asked, none read", 0,
                f"server RSS grew by {grown:.0f} MiB while it waited, {(after - before) / 1024:.0f} MiB after the reset")
    return grown


# ---------------------------------------------------------------- main


def warm_up(server, checker):
    """The baseline of descriptors and RSS, taken after a few answers so that
    whatever the program sets up once on its first connection is not taken
    for a leak later, and once the files those answers kept open have been
    let go, so that the baseline holds none of them."""
    warm = GoodClient(server, checker)
    warm.start()
    time.sleep(1.5)
    warm.stop_event.set()
    warm.join()
    time.sleep(FILE_CACHE_IDLE + 1.0)
    return server.fd_count(), server.status_kib("VmRSS")


def raise_own_descriptor_limit():
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    if soft < hard:
        resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    return resource.getrlimit(resource.RLIMIT_NOFILE)[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", required=True, help="the tarnwick program to copy and run")
    parser.add_argument("--quick", action="store_true", default=os.environ.get("HOSTILE_QUICK") == "1",
                        help="short phases (about a minute); also HOSTILE_QUICK=1")
    parser.add_argument("--markdown", help="also write the result table to this file")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--phase", action="append", metavar="WORD",
                        help="run only the phases whose name contains WORD (may be given again)")
    args = parser.parse_args()

    root = tempfile.mkdtemp(prefix="tarnwick-hostile-")
    server = Server(args.binary, root)
    try:
        return run(args, server, root)
    finally:
        # Whatever happened, the copy of the server does not outlive the run.
        server.stop()


def run(args, server, root):
    scale = 0.25 if args.quick else 1.0
    limit = raise_own_descriptor_limit()
    silent = 10000 if limit > 10300 else max(100, limit - 300)
    rng = random.Random(1208)
    started = time.monotonic()
    results = Results()
    log(f"server copy in {root}, port {server.port}; own descriptor limit {limit}")
    server.start()
    checker = Checker(server)
    monitor = Monitor(server)
    monitor.start()

    baseline_fds, baseline_rss = warm_up(server, checker)
    log(f"baseline: {baseline_fds} descriptors, RSS {baseline_rss} KiB")

    good = GoodClient(server, checker)
    good.start()
    try:
        phases = [
            ("unread pipelined answers", lambda: phase_unread_answers(server, results, 64)),
            ("silent connections",
             lambda: phase_silent_connections(server, results, silent, 25 * scale, baseline_fds)),
            ("slow headers", lambda: phase_slowhttptest(server, results, "-H", max(10, int(40 * scale)), root)),
            ("slow read", lambda: phase_slowhttptest(server, results, "-X", max(10, int(40 * scale)), root)),
            ("malformed requests", lambda: phase_malformed(server, checker, results, 40 * scale, rng)),
            ("resets", lambda: phase_resets(server, checker, results, 25 * scale, 5000)),
            ("pipelining", lambda: phase_pipeline(server, checker, results, max(2, int(10 * scale)), rng)),
            ("descriptors exhausted",
             lambda: phase_descriptor_exhaustion(server.binary, root, results, max(20, 30 * scale), 256, 2)),
        ]
        for name, run in phases:
            if args.phase and not any(word in name for word in args.phase):
                continue
            if not server.alive():
                results.add(name, "not run: the server is gone", 1)
                continue
            log(f"phase: {name}")
            good.phase = name
            run()
            log(f"  done; server fds {server.fd_count()}, peak RSS so far {monitor.peak_rss_kib / 1024:.1f} MiB, "
                f"good client {good.requests} requests, {good.wrong} wrong, {good.missing} missing")
    finally:
        good.stop_event.set()
        good.join()

    log("all clients gone; waiting for the descriptors to come back")
    gone_at = time.monotonic()
    final_fds = server.fd_count()
    while server.alive() and time.monotonic() - gone_at < FD_RETURN_LIMIT:
        final_fds = server.fd_count()
        if final_fds is not None and final_fds <= baseline_fds:
            break
        time.sleep(0.25)
    returned_after = time.monotonic() - gone_at
    # A few seconds more, to see it stays there.
    time.sleep(3)
    if server.alive():
        final_fds = server.fd_count()
    monitor.stop_event.set()
    monitor.join()

    alive = server.alive()
    peak_hwm = server.status_kib("VmHWM") if alive else None
    fds_ok = alive and final_fds is not None and final_fds <= baseline_fds
    server.stop()
    # A crash is a death before it was told to stop.
    crashes = 0 if alive else 1
    exit_code = server.exit_code

    summary = [
        ("well-behaved requests answered wrongly", good.wrong, "0"),
        ("well-behaved requests not answered (10 s)", good.missing, "0"),
        ("well-behaved requests in all", good.requests, ""),
        ("slowest well-behaved exchange", f"{good.slowest:.2f} s (during {good.slowest_phase})", ""),
        ("server crashes", crashes, "0"),
        ("bytes of the outside secret sent back", checker.secret_seen, "0"),
        ("hostile-phase problems", sum(row[2] for row in results.rows), "0"),
        ("server peak RSS (VmHWM)", f"{peak_hwm / 1024:.1f} MiB" if peak_hwm else "n/a", ""),
        ("server RSS at baseline", f"{baseline_rss / 1024:.1f} MiB" if baseline_rss else "n/a", ""),
        ("server descriptors at baseline", baseline_fds, ""),
        ("server descriptors at peak", monitor.peak_fds, ""),
        ("server descriptors after all clients left",
         f"{final_fds} (baseline reached after {returned_after:.1f} s)" if fds_ok else f"{final_fds} (not back in {FD_RETURN_LIMIT:.0f} s)",
         f"{baseline_fds}"),
        ("server stdout lines", server.stdout_lines, ""),
        ("run time", f"{time.monotonic() - started:.0f} s", ""),
    ]
    failed = (good.wrong or good.missing or crashes or checker.secret_seen or not fds_ok
              or any(row[2] for row in results.rows))

    width = max(len(row[0]) for row in summary)
    print()
    print("phase | what | problems | notes")
    for row in results.rows:
        print(" | ".join(str(cell) for cell in row))
    print()
    for label, value, must in summary:
        print(f"{label:<{width}}  {value!s:<40}  {('must be ' + must) if must else ''}")
    for line in results.problems + good.problems:
        print("problem:", line)
    if not alive:
        print(f"the server exited with {exit_code}; last stdout lines:")
        sys.stdout.write(b"".join(server.stdout_tail).decode(errors="replace"))
        with open(os.path.join(root, "stderr.txt"), "rb") as err:
            sys.stdout.write(err.read()[-4000:].decode(errors="replace"))
    print("RESULT:", "FAIL" if failed else "PASS")

    if args.markdown:
        with open(args.markdown, "w") as out:
            out.write("| Phase | What | Problems | Notes |\n|---|---|---|---|\n")
            for row in results.rows:
                out.write("| " + " | ".join(str(cell).replace("|", "\\|") for cell in row) + " |\n")
            out.write("\n| Figure | Value | Must be |\n|---|---|---|\n")
            for label, value, must in summary:
                out.write(f"| {label} | {value} | {must} |\n")
            for line in results.problems + good.problems:
                out.write(f"\nproblem: {line}\n")
    if args.keep or failed:
        print(f"the run's folder is kept: {root}")
    else:
        shutil.rmtree(root, ignore_errors=True)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
