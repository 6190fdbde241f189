#!/usr/bin/env python3
"""The program itself, from a client on loopback.

Starts the program without a window (tarnwick.exe under Wine, or
tarnwick-console) over a fresh folder holding the sample game, a settings
file and a secret beside the games, then checks what a phone gets: the
sample's descriptor and archive byte for byte under their types, the game
list, a range, an install report, that Ctrl+C ends it with its last log
lines written, and that every name Windows would bend
(device names, trailing dots and spaces, streams, backslashes, drive
letters, share names, short names) is answered with the 404 page, so that
nothing outside the game directory or of a device is ever served. Exits
non-zero on the first wrong answer.

Usage: program_on_loopback.py --program PATH [--wine]
"""

import argparse
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DESCRIPTOR = "text/vnd.sun.j2me.app-descriptor"
ARCHIVE = "application/java-archive"
NOT_FOUND = b"HTTP/1.0 404 Not Found"

# Names Windows would take for another file or a device, each as a phone
# could send it; every one must be the 404 page.
BENT_NAMES = [
    "/hello.jad.", "/hello.jad%20", "/hello.jad.%20.", "/hello.jad::$DATA", "/hello.jad:stream",
    "/con", "/CON.jad", "/nul.txt.jad", "/aux", "/prn.html", "/com1.jad", "/LPT9", "/conin$", "/CONOUT$",
    "/..%5Csecret.txt", "/%5C..%5Csecret.txt", "/games%5C..%5Csecret.txt", "/..\\secret.txt",
    "/C:secret.txt", "/C:%5Csecret.txt", "/c:/windows/win.ini", "/%5C%5Clocalhost%5Cc$%5Cwindows%5Cwin.ini",
    "//localhost/c$/windows/win.ini", "/LONGGA~1.JAD", "/longgamename.jad::$DATA",
    "/../secret.txt", "/%2e%2e/secret.txt", "/.%2e/secret.txt",
]


class Failure(Exception):
    pass


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def exchange(port, request, timeout=10.0):
    """Sends one request and returns the answer's status line, fields and body."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as connection:
        connection.sendall(request)
        received = b""
        while True:
            head_end = received.find(b"\r\n\r\n")
            if head_end >= 0:
                head = received[:head_end].split(b"\r\n")
                length = next((int(line.split(b":", 1)[1]) for line in head
                               if line.lower().startswith(b"content-length:")), 0)
                if len(received) >= head_end + 4 + length:
                    return head[0], head[1:], received[head_end + 4:head_end + 4 + length]
            chunk = connection.recv(65536)
            if not chunk:
                raise Failure(f"connection closed after {len(received)} bytes for {request[:60]!r}")
            received += chunk


def get(port, path, fields=""):
    return exchange(port, f"GET {path} HTTP/1.0\r\nHost: 127.0.0.1:{port}\r\n{fields}\r\n".encode("latin-1"))


def expect(condition, what):
    if not condition:
        raise Failure(what)


def field(fields, name):
    for line in fields:
        key, _, value = line.partition(b":")
        if key.lower() == name.lower().encode():
            return value.decode("latin-1")
    return None


def windows_path(path, wine):
    return "Z:" + str(path).replace("/", "\\") if wine else str(path)


def lay_out(folder, port, wine):
    # A name outside any code page: the program names files in UTF-8, and
    # Windows must be asked for them in its wide characters.
    games = folder / "Spiele für Zoë ✓"
    subprocess.run([sys.executable, str(ROOT / "share/sample/make_hello_game.py"), str(games)], check=True)
    (games / "longgamename.jad").write_bytes((games / "hello.jad").read_bytes())
    marker = f"secret-{random.getrandbits(64):016x}"
    (folder / "secret.txt").write_text(marker)
    (folder / "Tarnwick.ini").write_text(
        f"[Server Setting]\nLocalPort={port}\nGame List=1\n\n"
        f"[Directory Setting]\nVirtual Directory={windows_path(games, wine)}\n", encoding="utf-8")
    return games, marker


def start(program, folder, wine):
    environment = dict(os.environ)
    command = [str(Path(program).resolve()), "--settings", windows_path(folder / "Tarnwick.ini", wine)]
    if wine:
        environment.setdefault("WINEDEBUG", "-all")
        command = ["wine"] + command
    return subprocess.Popen(command, stdout=open(folder / "stdout.log", "wb"), stderr=subprocess.STDOUT,
                            env=environment, cwd=folder)


def wait_until_listening(port, server, seconds=60):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if server.poll() is not None:
            raise Failure(f"the program ended with {server.returncode} before it listened")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.2)
    raise Failure("the program did not listen in time")


def check(port, games, marker, folder, wine):
    for name, mime in (("hello.jad", DESCRIPTOR), ("hello.jar", ARCHIVE)):
        status, fields, body = get(port, "/" + name)
        expect(status == b"HTTP/1.0 200 OK", f"/{name}: {status!r}")
        expect(field(fields, "Content-type") == mime, f"/{name}: type {field(fields, 'Content-type')}")
        expect(body == (games / name).read_bytes(), f"/{name}: the bytes differ from the file")

    whole = (games / "hello.jar").read_bytes()
    status, fields, body = get(port, "/hello.jar", "Range: bytes=100-199\r\n")
    expect(status == b"HTTP/1.0 206 Partial Content", f"range: {status!r}")
    expect(field(fields, "Content-Range") == f"bytes 100-199/{len(whole)}", f"range: {fields!r}")
    expect(body == whole[100:200], "range: the bytes differ from the file")

    status, fields, body = get(port, "/", "Accept: text/html\r\n")
    expect(status == b"HTTP/1.0 200 OK" and b'href="/hello.jad"' in body, f"list: {status!r} {body[:200]!r}")

    status, _, _ = exchange(port, b"POST /notify HTTP/1.0\r\nContent-Length: 11\r\n\r\n900 Success")
    expect(status == b"HTTP/1.0 200 OK", f"install report: {status!r}")

    # Windows's file system ignores letter case, and the type never depends on it;
    # elsewhere a name is served only in its own letter case.
    status, fields, body = get(port, "/HELLO.JAD")
    if wine:
        expect(status == b"HTTP/1.0 200 OK" and field(fields, "Content-type") == DESCRIPTOR
               and body == (games / "hello.jad").read_bytes(), f"/HELLO.JAD: {status!r} {fields!r}")
    else:
        expect(status == NOT_FOUND, f"/HELLO.JAD: {status!r}")

    for path in BENT_NAMES:
        status, _, body = get(port, path)
        expect(status == NOT_FOUND, f"{path}: {status!r}, not the 404 page")
        expect(marker.encode() not in body, f"{path}: the secret came back")

    deadline = time.monotonic() + 10
    while b"Install report 900 Success" not in (folder / "stdout.log").read_bytes():
        expect(time.monotonic() < deadline, "the install report is not in the log")
        time.sleep(0.1)


def stop_with_ctrl_c(port, server, folder):
    """Ctrl+C (Wine hands the signal on as one) ends the program cleanly,
    the line of the request answered just before it written."""
    status, _, _ = get(port, "/last-words.jad")
    expect(status == NOT_FOUND, f"/last-words.jad: {status!r}")
    server.send_signal(signal.SIGINT)
    try:
        code = server.wait(timeout=30)
    except subprocess.TimeoutExpired:
        raise Failure("Ctrl+C did not end the program in 30 s")
    expect(code == 0, f"after Ctrl+C the program ended with {code}")
    expect(b"last-words.jad" in (folder / "stdout.log").read_bytes(), "the last request's line was not written")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--wine", action="store_true", help="run the program under Wine")
    args = parser.parse_args()

    folder = Path(tempfile.mkdtemp(prefix="tarnwick-program-"))
    port = free_port()
    server = None
    try:
        games, marker = lay_out(folder, port, args.wine)
        server = start(args.program, folder, args.wine)
        wait_until_listening(port, server)
        check(port, games, marker, folder, args.wine)
        stop_with_ctrl_c(port, server, folder)
        print(f"program_on_loopback: {len(BENT_NAMES)} bent names refused, the sample served whole")
        return 0
    except Failure as failure:
        print(f"program_on_loopback: FAILED: {failure}", file=sys.stderr)
        log = folder / "stdout.log"
        if log.exists():
            sys.stderr.write(log.read_text(errors="replace")[-4000:])
        return 1
    finally:
        if server and server.poll() is None:
            server.terminate()
            try:
                server.wait(timeout=10)
            except subprocess.TimeoutExpired:
                server.kill()
        shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
