#!/usr/bin/env python3
"""Turns bench/run's raw results into docs/benchmarks.md (or, with --table,
the table alone for the terminal). Every figure is the median of the runs."""
import os
import statistics
import sys
from collections import defaultdict

values = defaultdict(list)
with open(os.environ["RESULTS"]) as raw:
    for line in raw:
        parts = line.split()
        if len(parts) == 3:
            try:
                values[(parts[0], parts[1])].append(float(parts[2]))
            except ValueError:
                pass


def med(server, metric):
    found = values.get((server, metric))
    return statistics.median(found) if found else None


def fmt(value, digits):
    if value is None:
        return "n/a"
    return f"{value:,.{digits}f}"


def ratio(a, b):
    if a is None or b is None or b == 0:
        return "n/a"
    return f"{a / b:.2f}x"


# (label, metric, digits, better): better says which way is good.
ROWS = [
    (".jad keep-alive, 1 conn: req/s", "jad_rps_c1", 0, "higher"),
    (".jad keep-alive, 16 conns: req/s", "jad_rps_c16", 0, "higher"),
    (".jad keep-alive, 256 conns: req/s", "jad_rps_c256", 0, "higher"),
    (".jad server CPU per request, 1 / 16 / 256 conns: us",
     ("jad_cpu_us_per_req_c1", "jad_cpu_us_per_req_c16", "jad_cpu_us_per_req_c256"), 1, "lower"),
    (".jad 1 conn: p50 / p99 ms", ("jad_p50_ms_c1", "jad_p99_ms_c1"), 3, "lower"),
    (".jad 16 conns: p50 / p99 ms", ("jad_p50_ms_c16", "jad_p99_ms_c16"), 3, "lower"),
    (".jad 256 conns: p50 / p99 ms", ("jad_p50_ms_c256", "jad_p99_ms_c256"), 3, "lower"),
    ("1 MiB .jar, 1 conn: MB/s", "jar_mbs_c1", 0, "higher"),
    ("1 MiB .jar, 16 conns: MB/s", "jar_mbs_c16", 0, "higher"),
    ("1 MiB .jar, 1 conn: server CPU s/GB", "jar_cpu_s_per_gb_c1", 3, "lower"),
    ("1 MiB .jar, 16 conns: server CPU s/GB", "jar_cpu_s_per_gb_c16", 3, "lower"),
    (".jad connection per request, 16 clients: req/s", "cpr_rps_c16", 0, "higher"),
    (".jad connection per request, 16 clients: p99 ms", "cpr_p99_ms_c16", 3, "lower"),
    ("RSS idle: MiB", "rss_idle_mib", 1, "lower"),
    ("RSS per idle connection (1,000 open): KiB", "kib_per_idle_conn", 1, "lower"),
    ("256 x 1 MiB at once: peak RSS (VmHWM) MiB", "burst_hwm_mib", 1, "lower"),
    ("256 x 1 MiB at once: peak over the RSS before, MiB", "burst_over_base_mib", 1, "lower"),
]
SERVERS = ["tarnwick", "nginx", "lighttpd"]


def cell(server, metric, digits):
    if isinstance(metric, tuple):
        return " / ".join(fmt(med(server, m), digits) for m in metric)
    return fmt(med(server, metric), digits)


def cell_ratio(other, metric):
    if isinstance(metric, tuple):
        return " / ".join(ratio(med("tarnwick", m), med(other, m)) for m in metric)
    return ratio(med("tarnwick", metric), med(other, metric))


def table():
    out = [
        "| figure | Tarnwick | nginx (1 worker) | lighttpd | Tarnwick / nginx | Tarnwick / lighttpd |",
        "| --- | ---: | ---: | ---: | ---: | ---: |",
    ]
    for label, metric, digits, better in ROWS:
        out.append(
            f"| {label} ({better} is better) | "
            + " | ".join(cell(s, metric, digits) for s in SERVERS)
            + f" | {cell_ratio('nginx', metric)} | {cell_ratio('lighttpd', metric)} |"
        )
    errors = {s: sum(v for (srv, m), vs in values.items() if srv == s and "error" in m for v in vs) for s in SERVERS}
    unfinished = {s: sum(med(s, "burst_unfinished") or 0 for _ in [0]) for s in SERVERS}
    out.append("| failed requests, all runs (connect, read or framing errors) | "
               + " | ".join(f"{errors[s]:.0f}" for s in SERVERS) + " | | |")
    out.append("| 256 x 1 MiB downloads not finished in time (median) | "
               + " | ".join(f"{unfinished[s]:.0f}" for s in SERVERS) + " | | |")
    out.append("")
    out.append("| the window (Tarnwick only) | median of runs |")
    out.append("| --- | ---: |")
    window = [
        ("load on the window: .jad keep-alive, 256 conns, req/s", "load_rps", 0),
        ("click round trips measured", "click_count", 0),
        ("click round trip under that load: p50 ms", "click_p50_ms", 2),
        ("click round trip under that load: p99 ms", "click_p99_ms", 2),
        ("click round trip under that load: max ms", "click_max_ms", 2),
        ("10^6 log entries appended (1,000 per turn): total s", "log_total_s", 2),
        ("  per entry, us", "log_us_per_entry", 2),
        ("  median turn of 1,000 over the first 10^5 entries, ms", "log_first_turn_ms", 2),
        ("  median turn of 1,000 over the last 10^5 entries, ms", "log_last_turn_ms", 2),
        ("  p99 / max turn, ms", ("log_p99_turn_ms", "log_max_turn_ms"), 2),
        ("  RSS growth for 10^6 entries, MiB", "log_rss_growth_mib", 0),
    ]
    for label, metric, digits in window:
        out.append(f"| {label} | {cell('window', metric, digits)} |")
    return "\n".join(out)


def targets():
    def r(metric, other="nginx"):
        a, b = med("tarnwick", metric), med(other, metric)
        return None if a is None or b is None or b == 0 else a / b

    def line(ok, text):
        return f"- {'met' if ok else 'NOT met'}: {text}"

    rows = []
    x = r("jad_rps_c16")
    rows.append(line(x is not None and x >= 1.0, f".jad at 16 connections, req/s >= 1.0x nginx: {fmt(x, 2)}x"))
    a, b = med("tarnwick", "jad_p99_ms_c256"), med("nginx", "jad_p99_ms_c256")
    rows.append(line(a is not None and b is not None and a <= b,
                     f"p99 at 256 connections no worse than nginx: {fmt(a, 2)} ms vs {fmt(b, 2)} ms"))
    for c in (1, 16):
        x = r(f"jar_cpu_s_per_gb_c{c}")
        rows.append(line(x is not None and x <= 4.0, f"1 MiB .jar at {c} conn., CPU s/GB <= 4x nginx: {fmt(x, 2)}x"))
    k = med("tarnwick", "kib_per_idle_conn")
    rows.append(line(k is not None and k <= 16, f"each idle connection <= 16 KiB: {fmt(k, 1)} KiB"))
    over = med("tarnwick", "burst_over_base_mib")
    rows.append(line(over is not None and over < 1.5 * 256,
                     f"256 x 1 MiB burst peak < baseline + 1.5 x 256 MiB in flight (384 MiB): +{fmt(over, 0)} MiB"))
    p99, mx = med("window", "click_p99_ms"), med("window", "click_max_ms")
    rows.append(line(p99 is not None and p99 < 50,
                     f"click round trip < 50 ms under load: p99 {fmt(p99, 1)} ms (max {fmt(mx, 1)} ms)"))
    first, last, worst = med("window", "log_first_turn_ms"), med("window", "log_last_turn_ms"), med("window", "log_max_turn_ms")
    p99turn = med("window", "log_p99_turn_ms")
    fast = None not in (first, last, p99turn) and last <= 2 * max(first, 1.0) and p99turn < 50
    rows.append(line(fast, "log append stays fast with 10^6 entries (median turn of 1,000 over the last 10^5 "
                     "within 2x that over the first 10^5, p99 turn under 50 ms): "
                     f"first {fmt(first, 2)} ms, last {fmt(last, 2)} ms, p99 {fmt(p99turn, 1)} ms, max {fmt(worst, 1)} ms"))
    return "\n".join(rows)


if "--table" in sys.argv:
    print(table())
    print()
    print(targets())
    sys.exit(0)

env = os.environ
print(f"""# Benchmarks

Tarnwick against nginx with one worker process and lighttpd, all serving the
same folder on 127.0.0.1. Made by `bench/run` (this file is rewritten by it).

- Date: {__import__('datetime').datetime.now().strftime('%Y-%m-%d %H:%M %Z').strip()}; Tarnwick at {env.get('COMMIT')}
- Machine: {env.get('MACHINE_CPU')}, {env.get('MACHINE_CORES')} cores (nproc), {env.get('MACHINE_MEM')}, Linux {env.get('MACHINE_KERNEL')}
- Peers: {env.get('VERSIONS')}
- Load average (1, 5, 15 min) before the runs: {env.get('LOAD_BEFORE')}; after: {env.get('LOAD_AFTER')}.
  Anything else running on the machine shows here and disturbs all three
  servers; compare ratios from one run rather than figures across runs.
- Each figure is the median of {env.get('RUNS')} runs; each load lasts {env.get('SECONDS_PER_LOAD')} s.

{table()}

## Targets

{targets()}

## Method

- **Placement.** The server runs pinned to core 0 (`taskset -c 0`), the load
  generator to core 1, both at nice -10 when run as root so that other work
  on the machine disturbs less (it still shows in the load average above). Each server is started afresh for every figure of
  every run and stopped after it.
- **Files.** A 300-byte `.jad` descriptor and a 1 MiB `.jar` of random bytes
  in a temporary folder that all three serve.
- **Servers.** Tarnwick as built in Release, with its window drawn off screen
  and every log entry going to its log area and to standard output, which is
  sent to a file. nginx: `master_process off`, one process,
  `access_log` on to a file (Tarnwick logs every request too), `sendfile on`.
  lighttpd: one process, `mod_accesslog` on to a file. Both peers are allowed
  a million requests per keep-alive connection, since Tarnwick never closes
  one.
- **Busy machines.** A server that sleeps between requests pays the
  scheduler's wake-up delay whenever other work holds its core, so on a
  busy machine a faster server can even show fewer requests per second.
  The server's CPU time per request (utime + stime over the requests
  served) does not depend on that; compare it when the load average above
  is high.
- **Load generator.** `build-bench-tools/loadtool` (bench/loadtool.c), one
  thread on epoll. wrk is not usable against Tarnwick for keep-alive: its
  parser treats an HTTP/1.0 response without a keep-alive field as the end of
  the connection and reconnects after every response, so it would measure a
  connection per request. The same tool therefore measures all three servers.
  As a check that it is not the limit: wrk measured nginx at
  {env.get('WRK_NGINX', 'n/a')} req/s for the .jad at 16 keep-alive connections in this run.
  - *keep-alive*: N connections, each sends `GET /game.jad HTTP/1.1`, reads the
    head and exactly Content-Length body bytes, then sends the next request on
    the same connection. Latency is from sending a request to its last byte.
  - *connection per request*: 16 clients each connect, send
    `GET /game.jad HTTP/1.0`, read Content-Length bytes, close (the client
    closes: Tarnwick never does), and start again; latency is from the
    connect to the last byte. Source addresses rotate over 127.0.0.1-8 so that
    the run never runs short of ports.
  - *CPU per GB*: utime + stime of the server (all its threads) from
    /proc/PID/stat before and after the load, over the body and head bytes
    the client read.
- **Memory.** Idle RSS a moment after start. Then 1,000 connections are
  opened, each is served one .jad request and stays open, idle; the RSS
  growth over 1,000 is the figure per connection (it includes the log lines
  of those requests). Then after those close, the peak-RSS mark is reset
  (`echo 5 > /proc/PID/clear_refs`), 256 connections ask for the 1 MiB .jar at
  once and read it whole, and VmHWM is read: the peak, and the peak over the
  RSS just before. 256 MiB are in flight.
- **The window** (`build-bench-tools/clickbench`, bench/clickbench.cpp): the
  real main window with its server, off screen, under 256 keep-alive
  connections asking for the .jad. Every 10 ms another thread posts an event
  to the window's thread whose handler clicks into the activity log; the
  round trip runs from the post to the end of the click's handling. Then
  10^6 entries are appended to that same log, 1,000 per event-loop turn, with
  standard output sent to /dev/null, and the time per turn is recorded.
- No test asserts any of these figures; they are measured here only.
""")
