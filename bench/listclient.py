#!/usr/bin/env python3
"""Asks for pages of a game list over one keep-alive connection for SECONDS,
each in turn as HTML, XHTML Mobile Profile and WML, on pages spread over the
whole list, and prints one line of figures as the loadtool does:
  bench/listclient.py PORT FOLDER_PATH SECONDS
  -> requests N errors E p50_us X p99_us Y max_us Z"""
import random
import re
import socket
import sys
import time

ACCEPTS = ["text/html", "application/vnd.wap.xhtml+xml", "text/vnd.wap.wml"]


def fetch(sock, path, accept):
    sock.sendall(f"GET {path} HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: {accept}\r\n"
                 "Connection: keep-alive\r\n\r\n".encode())
    data = b""
    while b"\r\n\r\n" not in data:
        more = sock.recv(65536)
        if not more:
            raise ConnectionError("closed")
        data += more
    head, body = data.split(b"\r\n\r\n", 1)
    length = int(re.search(rb"Content-Length: *(\d+)", head, re.I).group(1))
    while len(body) < length:
        more = sock.recv(65536)
        if not more:
            raise ConnectionError("closed")
        body += more
    return head.split(b"\r\n", 1)[0], body


def main():
    port, folder, seconds = int(sys.argv[1]), sys.argv[2], float(sys.argv[3])
    sock = socket.create_connection(("127.0.0.1", port))
    pages = {}
    for accept in ACCEPTS:
        _, body = fetch(sock, folder, accept)
        found = re.search(rb"Page 1 of (\d+)", body)
        pages[accept] = int(found.group(1)) if found else 1
    times, errors = [], 0
    random.seed(1)
    end = time.monotonic() + seconds
    turn = 0
    while time.monotonic() < end:
        accept = ACCEPTS[turn % len(ACCEPTS)]
        turn += 1
        page = random.randint(1, pages[accept])
        start = time.monotonic()
        status, body = fetch(sock, f"{folder}?page={page}", accept)
        times.append(time.monotonic() - start)
        if b" 200 " not in status or b".jad" not in body:
            errors += 1
        time.sleep(0.005)
    times.sort()
    us = lambda q: int(times[min(len(times) - 1, int(q * len(times)))] * 1e6)
    print(f"requests {len(times)} errors {errors} p50_us {us(0.5)} p99_us {us(0.99)} max_us {int(times[-1] * 1e6)} "
          f"pages_html {pages['text/html']} pages_wml {pages['text/vnd.wap.wml']}")


if __name__ == "__main__":
    main()
