#!/usr/bin/env python3
"""Turns bench/run's raw results into docs/benchmarks.md (or, with --table,
the tables and the targets alone for the terminal). Every figure is the
median of the runs; every ratio is taken within each run first (both servers
measured in it, minutes apart) and then the median of those is shown.
Tarnwick is measured in two setups, each a server of its own here: the
default setup ("tarnwick": the game list and descriptor repair on), the
headline, and the plain one ("tarnwick-plain": neither)."""
import datetime
import os
import statistics
import sys
from collections import defaultdict

SERVERS = ["tarnwick", "tarnwick-plain", "nginx", "lighttpd"]
# Tarnwick's setups: (server, its name in a ratio's column, its heading in
# the targets, its column's title).
SETUPS = [
    ("tarnwick", "default", "Tarnwick in the default setup (game list and descriptor repair on)",
     "Tarnwick (default setup: list and repair on)"),
    ("tarnwick-plain", "plain", "Tarnwick in the plain setup (game list and descriptor repair off)",
     "Tarnwick (plain: list and repair off)"),
]
PEERS = ["nginx", "lighttpd"]
# The servers and Tarnwick's steps alone as the watch table heads them.
WATCHED = {"tarnwick": "Tarnwick default", "tarnwick-plain": "Tarnwick plain", "nginx": "nginx",
           "lighttpd": "lighttpd", "window": "window", "phones": "Phones window"}

# A load during which other processes took more of the server's core than
# this, or a run that started with a higher load average, judges no target.
MAX_OTHERS = 0.05
MAX_LOAD_AVERAGE = 0.5
# A small-file load must keep the server's core at least this busy: below it
# the load generator, not the server, sets the figure.
MIN_BUSY = 0.90
DISTURBED = "disturbed: run again on a quiet machine"

# The watched loads (as bench/run names them) and what each is called here.
LOADS = [
    ("jad_c16", ".jad keep-alive, 16 conns"),
    ("jad_c256", ".jad keep-alive, 256 conns"),
    ("cpr_c16", ".jad connection per request, 16 clients"),
    ("jar_c16", "1 MiB .jar keep-alive, 16 conns"),
    ("burst", "256 x 1 MiB at once"),
    ("idle", "1,000 idle connections"),
    ("beside", "large file beside 16 .jad clients"),
    ("stdout_stalled", "standard output stalled"),
    ("stdout_file", "standard output to a file"),
    ("list10k_alone", "game list of 10,000: 16 .jad clients alone"),
    ("list10k_beside", "game list of 10,000: 16 .jad clients beside list pages"),
    ("window", "the window under 256 conns"),
    ("phones", "the Phones window under 256 conns"),
]
SMALL_FILE_LOADS = ["jad_c16", "jad_c256", "cpr_c16"]


def load(path):
    """{(server, metric): {run: value}} from lines "run server metric value"."""
    found = defaultdict(dict)
    with open(path) as raw:
        for line in raw:
            parts = line.split()
            if len(parts) != 4:
                continue
            try:
                found[(parts[1], parts[2])][parts[0]] = float(parts[3])
            except ValueError:
                pass  # "n/a" or an empty figure from a load that failed
    return found


values = load(os.environ["RESULTS"])


def med(server, metric):
    found = values.get((server, metric))
    return statistics.median(found.values()) if found else None


def ratio(metric, other, server="tarnwick"):
    """Median over the runs of server / other, each run with itself."""
    mine, theirs = values.get((server, metric), {}), values.get((other, metric), {})
    per_run = [mine[run] / theirs[run] for run in mine if theirs.get(run)]
    return statistics.median(per_run) if per_run else None


def load_average_before():
    try:
        return float(os.environ.get("LOAD_BEFORE", "").split()[0])
    except (IndexError, ValueError):
        return None


def shares(server, load, kind):
    """The load's busy or others share in each run."""
    return list(values.get((server, f"{load}_{kind}"), {}).values())


def disturbed(loads, servers):
    """Whether any run of these loads on these servers cannot be trusted."""
    before = load_average_before()
    if before is None or before > MAX_LOAD_AVERAGE:
        return True
    for server in servers:
        for load in loads:
            found = shares(server, load, "others")
            if not found or max(found) > MAX_OTHERS:
                return True
    return False


def least_busy(loads, servers):
    """The lowest busy share of any run of these loads, or None."""
    found = [b for server in servers for load in loads for b in shares(server, load, "busy")]
    return min(found) if found else None


def fmt(value, digits):
    return "n/a" if value is None else f"{value:,.{digits}f}"


def fmt_ratio(value):
    return "n/a" if value is None else f"{value:.2f}x"


def fmt_percent(value):
    return "n/a" if value is None else f"{value * 100:.0f} %"


# (label, metric or tuple of metrics, digits, which way is better or None)
ROWS = [
    ("**.jad keep-alive, 16 conns: req/s per server-CPU s**", "jad_rps_per_cpu_c16", 0, "higher"),
    ("**.jad keep-alive, 256 conns: req/s per server-CPU s**", "jad_rps_per_cpu_c256", 0, "higher"),
    ("**.jad connection per request, 16 clients: req/s per server-CPU s**", "cpr_rps_per_cpu_c16", 0, "higher"),
    ("**1 MiB .jar keep-alive, 16 conns: MB/s per server-CPU s**", "jar_mbs_per_cpu_c16", 0, "higher"),
    ("**1 MiB .jar keep-alive, 16 conns: server CPU s per GB**", "jar_cpu_s_per_gb_c16", 3, "lower"),
    (".jad keep-alive, 16 conns: req/s", "jad_rps_c16", 0, "higher"),
    (".jad keep-alive, 256 conns: req/s", "jad_rps_c256", 0, "higher"),
    (".jad connection per request, 16 clients: req/s", "cpr_rps_c16", 0, "higher"),
    ("1 MiB .jar keep-alive, 16 conns: MB/s", "jar_mbs_c16", 0, "higher"),
    (".jad 16 conns: p50 / p99 ms", ("jad_p50_ms_c16", "jad_p99_ms_c16"), 3, "lower"),
    (".jad 256 conns: p50 / p99 ms", ("jad_p50_ms_c256", "jad_p99_ms_c256"), 3, "lower"),
    (".jad connection per request, 16 clients: p99 ms", "cpr_p99_ms_c16", 3, "lower"),
    (".jad answer, head and body: bytes", "jad_answer_bytes_c16", 0, None),
    ("RSS idle: MiB", "rss_idle_mib", 1, "lower"),
    ("RSS per idle connection (1,000 open): KiB", "kib_per_idle_conn", 1, "lower"),
    ("256 x 1 MiB at once: peak RSS (VmHWM) MiB", "burst_hwm_mib", 1, "lower"),
    ("256 x 1 MiB at once: peak over idle, MiB", "burst_over_idle_mib", 1, "lower"),
    ("large file beside 16 .jad clients: RSS growth MiB", "big_rss_growth_mib", 1, "lower"),
    ("large file beside 16 .jad clients: small requests p99 / max ms",
     ("big_small_p99_ms", "big_small_max_ms"), 1, "lower"),
    ("large file beside 16 .jad clients: its download MB/s", "big_mbs", 0, "higher"),
]

WINDOW = [
    ("the window under .jad keep-alive at 256 conns: req/s", "load_rps", 0),
    ("the window: click round trips measured", "click_count", 0),
    ("the window: click round trip under that load, p50 / p99 / max ms",
     ("click_p50_ms", "click_p99_ms", "click_max_ms"), 2),
    ("the window: 10^6 log entries appended (1,000 per turn), total s", "log_total_s", 2),
    ("the window: per log entry, us", "log_us_per_entry", 2),
    ("the window: median turn of 1,000 entries over the first / last 10^5, ms",
     ("log_first_turn_ms", "log_last_turn_ms"), 2),
    ("the window: p99 / max turn, ms", ("log_p99_turn_ms", "log_max_turn_ms"), 2),
    ("the window: RSS growth for 10^6 entries, MiB", "log_rss_growth_mib", 0),
]

PHONES = [
    ("the Phones window under .jad keep-alive at 256 conns: req/s", "load_rps", 0),
    ("the Phones window: opened, ms", "phones_open_ms", 2),
    ("the Phones window: click round trip under that load, p50 / p99 / max ms",
     ("phones_click_p50_ms", "phones_click_p99_ms", "phones_click_max_ms"), 2),
    ("the Phones window: rows at the end", "phones_rows", 0),
    ("following install attempts, per descriptor served, ns", "follow_ns_per_request", 0),
]


def metrics(metric):
    return metric if isinstance(metric, tuple) else (metric,)


def cell(server, metric, digits):
    return " / ".join(fmt(med(server, m), digits) for m in metrics(metric))


def cell_ratio(metric, other, server):
    return " / ".join(fmt_ratio(ratio(m, other, server)) for m in metrics(metric))


def failures(server):
    return sum(v for (srv, m), runs in values.items() if srv == server and "error" in m for v in runs.values())


def table():
    ratios = [(server, short, peer) for server, short, _, _ in SETUPS for peer in PEERS]
    no_ratios = " |" * (len(ratios) + 1)
    out = [
        "| figure | " + " | ".join(title for _, _, _, title in SETUPS) + " | nginx (1 worker) | lighttpd | "
        + " | ".join(f"{short} / {peer}" for _, short, peer in ratios) + " |",
        "| --- |" + " ---: |" * (len(SERVERS) + len(ratios)),
    ]
    for label, metric, digits, better in ROWS:
        out.append(f"| {label}{f' ({better} is better)' if better else ''} | "
                   + " | ".join(cell(s, metric, digits) for s in SERVERS) + " | "
                   + " | ".join(cell_ratio(metric, peer, server) for server, _, peer in ratios) + " |")
    out.append("| failed requests, all runs (connect, read, framing errors, answers other than 2xx, "
               "closed keep-alive connections) | "
               + " | ".join(f"{failures(s):.0f}" for s in SERVERS) + no_ratios)
    out.append("| 256 x 1 MiB downloads not finished in time (most of one burst, median of runs) | "
               + " | ".join(fmt(med(s, "burst_unfinished"), 0) for s in SERVERS) + no_ratios)
    out.append("| large file downloaded whole (runs) | "
               + " | ".join(f"{sum(values.get((s, 'big_done'), {}).values()):.0f} of "
                            f"{len(values.get((s, 'big_done'), {}))}" for s in SERVERS) + no_ratios)
    out.append("")
    out.append("| Tarnwick alone, default setup | median of runs |")
    out.append("| --- | ---: |")
    stalled = stdout_ratio()
    out.append(f"| standard output to a file: .jad keep-alive, 16 conns, req/s | {cell('tarnwick', 'stdout_file_rps_c16', 0)} |")
    out.append(f"| standard output stalled (a reader that stopped): req/s | {cell('tarnwick', 'stdout_stalled_rps_c16', 0)} |")
    out.append(f"| stalled / to a file | {fmt_ratio(stalled)} |")
    for label, metric, digits in WINDOW:
        out.append(f"| {label} | {cell('window', metric, digits)} |")
    for label, metric, digits in PHONES:
        out.append(f"| {label} | {cell('phones', metric, digits)} |")
    return "\n".join(out)


def watch_table():
    """How busy each load kept the server's core and what others took of it."""
    out = [
        "| load | " + " | ".join(f"{name}: core busy (least) / taken by others (most)"
                               for name in WATCHED.values()) + " |",
        "| --- |" + " ---: |" * len(WATCHED),
    ]
    for load, label in LOADS:
        cells = []
        for server in WATCHED:
            busy, others = shares(server, load, "busy"), shares(server, load, "others")
            cells.append(f"{fmt_percent(min(busy))} / {fmt_percent(max(others))}" if busy and others else "")
        if any(cells):
            out.append(f"| {label} | " + " | ".join(cells) + " |")
    return "\n".join(out)


def stdout_ratio():
    stalled = values.get(("tarnwick", "stdout_stalled_rps_c16"), {})
    to_file = values.get(("tarnwick", "stdout_file_rps_c16"), {})
    per_run = [stalled[run] / to_file[run] for run in stalled if to_file.get(run)]
    return statistics.median(per_run) if per_run else None


def verdict(loads, servers, saturated):
    """Why figures from these loads on these servers judge nothing, or None."""
    if disturbed(loads, servers):
        return DISTURBED
    if saturated and (least_busy(loads, servers) or 0) < MIN_BUSY:
        return (f"not at saturation (the server's core {fmt_percent(least_busy(loads, servers))} busy): "
                "the load generator is the limit")
    return None


def targets():
    rows = []

    def line(ok, text, loads, servers=("tarnwick",), saturated=False):
        """A target judged from `loads` on `servers`; with `saturated`, only
        from loads that kept the server's core busy."""
        why_not = verdict(loads, servers, saturated)
        rows.append(f"- {why_not or ('met' if ok else 'NOT met')}: {text}")

    def at_most(value, limit):
        return value is not None and value <= limit

    def at_least(value, limit):
        return value is not None and value >= limit

    small_files = ((".jad keep-alive at 16 connections", "jad_rps_per_cpu_c16", "jad_c16"),
                   (".jad keep-alive at 256 connections", "jad_rps_per_cpu_c256", "jad_c256"),
                   (".jad connection per request at 16 clients", "cpr_rps_per_cpu_c16", "cpr_c16"))

    # The targets every server is measured for, judged on each setup.
    for me, _, heading, _ in SETUPS:
        rows.append("")
        rows.append(f"### {heading}")
        rows.append("")
        peers = (me, "nginx")
        for label, metric, load in small_files:
            x = ratio(metric, "nginx", me)
            line(at_least(x, 1.0), f"{label}, req/s per server-CPU s at least 1.0x nginx: {fmt_ratio(x)} "
                                   f"({fmt(med(me, metric), 0)} against {fmt(med('nginx', metric), 0)}; "
                                   f"against lighttpd, the aim: {fmt_ratio(ratio(metric, 'lighttpd', me))})",
                 [load], peers, saturated=True)
        x = ratio("jar_cpu_s_per_gb_c16", "nginx", me)
        line(at_most(x, 1.0), f"1 MiB .jar, server CPU per GB at most 1.0x nginx: {fmt_ratio(x)} "
                              f"({fmt(med(me, 'jar_cpu_s_per_gb_c16'), 3)} s against "
                              f"{fmt(med('nginx', 'jar_cpu_s_per_gb_c16'), 3)} s)", ["jar_c16"], peers)
        over = med(me, "burst_over_idle_mib")
        line(at_most(over, 32), f"256 simultaneous 1 MiB downloads, peak RSS at most idle + 32 MiB: +{fmt(over, 1)} MiB",
             ["burst"], (me,))
        grown = med(me, "big_rss_growth_mib")
        done = values.get((me, "big_done"), {})
        whole = bool(done) and all(done.values())
        line(at_most(grown, 32) and whole,
             f"large file downloaded beside small requests, RSS growth at most 32 MiB: +{fmt(grown, 1)} MiB"
             + ("" if whole else " (the download did not complete in every run)"), ["beside"], (me,))
        worst = med(me, "big_small_max_ms")
        line(at_most(worst, 100) and whole,
             f"each small request beside it answered within 100 ms: max {fmt(worst, 1)} ms "
             f"(p99 {fmt(med(me, 'big_small_p99_ms'), 1)} ms)", ["beside"], (me,))
        kib = med(me, "kib_per_idle_conn")
        line(at_most(kib, 4), f"idle connection at most 4 KiB each (1,000 open): {fmt(kib, 1)} KiB", ["idle"], (me,))

    # The targets of the steps Tarnwick runs alone, in the default setup.
    rows.append("")
    rows.append("### Tarnwick alone, in the default setup")
    rows.append("")
    click = med("window", "click_p99_ms")
    line(at_most(click, 16), f"window click answered within 16 ms (p99) under 256 busy connections: {fmt(click, 2)} ms",
         ["window"], ("window",))
    phones = med("phones", "phones_click_p99_ms")
    opened = med("phones", "phones_open_ms")
    line(at_most(phones, 16) and at_most(opened, 16),
         f"Phones window opened and clicked within 16 ms (p99) under 256 busy connections: "
         f"{fmt(opened, 2)} / {fmt(phones, 2)} ms", ["phones"], ("phones",))
    per_entry = med("window", "log_us_per_entry")
    line(per_entry is not None and per_entry < 1.0, f"10^6 log entries appended at under 1 us each: {fmt(per_entry, 2)} us",
         ["window"], ("window",))
    rss = med("window", "log_rss_growth_mib")
    line(at_most(rss, 128), f"10^6 log entries, RSS growth at most 128 MiB: {fmt(rss, 0)} MiB", ["window"], ("window",))
    page = med("tarnwick", "list10k_page_p99_ms")
    beside = med("tarnwick", "list10k_small_p99_ms")
    line(at_most(page, 50) and at_most(beside, 10),
         f"game list of 10,000 games beside 16 keep-alive clients: list page p99 at most 50 ms: {fmt(page, 1)} ms; "
         f"small requests' p99 at most 10 ms with it: {fmt(beside, 2)} ms "
         f"(without: {fmt(med('tarnwick', 'list10k_small_alone_p99_ms'), 2)} ms)",
         ["list10k_alone", "list10k_beside"])
    x = stdout_ratio()
    line(at_least(x, 0.9), f"standard output stalled, req/s at least 0.9x standard output to a file: {fmt_ratio(x)}",
         ["stdout_stalled", "stdout_file"])

    # What the list and the repair cost the small file: no target here, the
    # quiet and saturation of its loads told as for one.
    rows.append("")
    rows.append("### The default setup against the plain one, run by run")
    rows.append("")
    setups = ("tarnwick", "tarnwick-plain")
    loads = [load for _, _, load in small_files]
    parts = [f"{label.removeprefix('.jad ')} {fmt_ratio(ratio(metric, 'tarnwick-plain'))} "
             f"({fmt(med('tarnwick', metric), 0)} against {fmt(med('tarnwick-plain', metric), 0)})"
             for label, metric, _ in small_files]
    rows.append(f"- {verdict(loads, setups, True) or 'quiet and at saturation'} (not a target): "
                "the default setup's .jad req/s per server-CPU s as a share of the plain setup's: "
                + "; ".join(parts))
    return "\n".join(rows).lstrip("\n")


if "--table" in sys.argv:
    print(table())
    print()
    print(watch_table())
    print()
    print(targets())
    sys.exit(0)


def notes():
    """docs/benchmark-notes.md, written by hand, is carried into every rewrite."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "benchmark-notes.md")
    if not os.path.exists(path):
        return ""
    with open(path) as text:
        return "\n## Notes\n\n" + text.read().strip() + "\n"


env = os.environ
print(f"""# Benchmarks

Tarnwick against nginx with one worker process and lighttpd, all serving the
same folder on 127.0.0.1. Made by `bench/run` (this file is rewritten by it;
notes written by hand go in `docs/benchmark-notes.md`, which is carried in
below). Where the server's time goes: `docs/profile.md` (`bench/run --profile`,
the default setup).

Tarnwick is measured in two setups, one after the other in every run, each
under every load the peers are:

- **Default setup**, the headline: the game list and descriptor repair on
  (`Game List=1`, `Repair Descriptors=1`), as `scripts/run` lays the
  settings beside the program, so the setup people run. Every `.jad` is
  answered repaired, rewritten in memory from the descriptor and the
  archive's manifest, read for each request: the archive's address made
  absolute on the host the client named, and report addresses added, so
  the answer is longer than the file (".jad answer" below). A folder is
  answered with the game list.
- **Plain setup**: neither. Every file goes out byte for byte as on disk,
  as the peers send it, and a folder is `404`.

The steps Tarnwick runs alone (standard output, the game list of 10,000
games, the window and the Phones window) run in the default setup only.

- Date: {datetime.datetime.now().strftime('%Y-%m-%d %H:%M %Z').strip()}; Tarnwick at {env.get('COMMIT')}
- Machine: {env.get('MACHINE_CPU')}, {env.get('MACHINE_CORES')} cores (nproc --all), {env.get('MACHINE_MEM')}, Linux {env.get('MACHINE_KERNEL')}
- Peers: {env.get('VERSIONS')}
- Load average (1, 5, 15 min) before the runs: {env.get('LOAD_BEFORE')}; after: {env.get('LOAD_AFTER')}.
  Anything else running on the machine shows here and disturbs all the
  servers; compare ratios from one run rather than figures across runs.
- Each figure is the median of {env.get('RUNS')} runs; each load lasts {env.get('SECONDS_PER_LOAD')} s. The large
  file is {env.get('BIG_MIB')} MiB. The figures in bold are per second of the server's CPU.

{table()}

## Was the machine quiet, and the server at saturation?

Over each load, from /proc/stat and the server's own accounting: the share
of the server's core that the server and the interrupts of its traffic kept
busy (the least of the runs), and the share other processes and the
hypervisor took (the most of the runs). A target is judged only from loads
where others took at most {MAX_OTHERS * 100:.0f} % and only when the load average was at most
{MAX_LOAD_AVERAGE} as the runs started; otherwise it reads "{DISTURBED}".
The per-CPU targets of the small file are judged only when its loads kept the
server's core at least {MIN_BUSY * 100:.0f} % busy, for the Tarnwick setup in question and
nginx alike. Each target that every server is measured for is judged on each
Tarnwick setup apart.

{watch_table()}

## Targets

{targets()}
{notes()}
## Method

- **Placement.** The server runs pinned to core 0 (`taskset -c 0`), the load
  generator to core 1, both at nice -10 when run as root so that other work
  on the machine disturbs less (it still shows in the load average above).
  Each server is started afresh for every figure of every run, answers one
  .jad request before anything is measured (so that what it sets up on first
  use is not counted; in the default setup it has also read the folder for
  its game list) and is stopped after the figure. In each run the servers
  take their turns in this order: Tarnwick default, Tarnwick plain, nginx,
  lighttpd.
- **Files.** A 328-byte `.jad` descriptor and the game it describes, a
  real archive of exactly 1 MiB (1,048,576 bytes: a manifest that agrees
  with the descriptor, a class, an icon, and random bytes stored, not
  compressed, to fill it), made by `bench/make-games.py --bench-game`; and a
  sparse `.jar` of {env.get('BIG_MIB')} MiB (made with `truncate`), all in a temporary
  folder that every server serves. Before the runs bench/run asks each
  Tarnwick setup for the `.jad` once and stops unless the default setup's
  answer is repaired and the plain setup's is the file, and the game check
  finds the game ready.
- **Servers.** Tarnwick as built in Release, in each setup, with its window
  drawn off screen and every log entry going to its log area and to standard
  output, which is sent to a file. nginx: `master_process off`, one process,
  `access_log` on to a file (Tarnwick logs every request too), `sendfile on`.
  lighttpd: one process, `mod_accesslog` on to a file. Both peers are allowed
  a million requests per keep-alive connection.
- **Per second of the server's CPU.** utime + stime of the server (all its
  threads) from /proc/PID/stat before and after the load; requests (or
  megabytes read by the client) over those seconds. Other work on the
  machine still bends this figure (it shares the caches, and a server that
  sleeps between requests pays the scheduler's wake-up delay whenever others
  hold its core), which is why every load is watched as above.
- **Quiet and saturated.** Before the runs, bench/run waits (up to
  `--settle` seconds) for the load average to fall to {MAX_LOAD_AVERAGE}. Over each
  load it reads the server core's line of /proc/stat: its time on tasks and
  the hypervisor's steal, less the server's own CPU time, is what others
  took; the server's CPU time and the core's interrupt time (mostly the
  loopback traffic, which the process's accounting leaves out) over all the
  core's time is how busy the server kept it. The load generator and
  bench/run itself run on the other core. The kernel counts in clock
  ticks of 10 ms, so a watch of a few tenths of a second is off by a few
  per cent either way: every load is watched for about a second or more.
- **Load generator.** `build-bench-tools/loadtool` (bench/loadtool.c), one
  thread on epoll, for every server alike. An answer whose status is not
  2xx counts as a failed request. wrk is not usable against
  Tarnwick for keep-alive: it treats an HTTP/1.0 answer without a keep-alive
  field as the end of the connection and reconnects after every answer, so
  it would measure a connection per request. As a check that the loadtool is
  not the limit: wrk measured nginx at {env.get('WRK_NGINX', 'n/a')} req/s for the .jad at 16
  keep-alive connections in this run.
  - *keep-alive*: N connections, each sends `GET /game.jad HTTP/1.1` with
    `Connection: keep-alive`, reads the head and exactly Content-Length body
    bytes, then sends the next request on the same connection. A connection
    the server closes counts as a failed request. Latency is from sending a
    request to its last byte.
  - *connection per request*: 16 clients each connect, send
    `GET /game.jad HTTP/1.0`, read Content-Length bytes, close, and start
    again; latency is from the connect to the last byte. Source addresses
    rotate over 127.0.0.1-8 so that the run never runs short of ports.
- **Memory.** *Idle*: the RSS a moment after start and that first request. *Burst*: on a fresh
  server the peak-RSS mark is reset to the idle RSS
  (`echo 5 > /proc/PID/clear_refs`), 256 connections ask for the 1 MiB .jar at
  once and read it whole, ten times over, and VmHWM is read: 256 MiB are in
  flight each time (one such burst lasts about a tenth of a second, too few of
  the core's clock ticks to tell who took it; ten make a second).
  *Idle connections*: on a fresh server 1,000 connections are opened, each
  is served one .jad and stays open for two seconds; the RSS growth over 1,000 is the figure
  per connection (it includes the log lines of those requests). *Large file*:
  on a fresh server, with the mark reset, one connection downloads the large
  file whole while 16 keep-alive clients ask for the .jad; the peak over the
  idle RSS, and the latencies of the small requests meanwhile (the loadtool
  reads the download one slice per turn, so its own side does not delay them).
- **Standard output stalled.** Tarnwick (default setup) with its standard output into a pipe
  whose reader holds it open and never reads (a pager left on its first
  page), against standard output to a file: .jad keep-alive at 16
  connections, one after the other in the same run.
- **The game list of 10,000 games.** Tarnwick (default setup) over a folder
  holding the game above and 10,000 archives with icons and no descriptors
  (made by `bench/make-games.py`), once its catalogue has read them: 16
  keep-alive clients ask for the .jad, first alone, then while one client
  asks for list pages all the while (HTML, XHTML Mobile Profile and WML in
  turn, pages spread over the list, 5 ms between them).
- **The window** (`build-bench-tools/clickbench`, bench/clickbench.cpp): the
  real main window with its server in the default setup, off screen, under 256 keep-alive
  connections asking for the .jad. Every 10 ms another thread posts an event
  to the window's thread whose handler clicks into the activity log; the
  round trip runs from the post to the end of the click's handling. Then
  10^6 entries are appended to that same log, 1,000 per event-loop turn, with
  standard output sent to /dev/null, and the time per turn is recorded.
- **The Phones window** (`build-bench-tools/phonesbench`,
  bench/phonesbench.cpp): the same window and load, every request a
  descriptor the server follows as an install attempt. Half a second in, an
  event posted to the window's thread presses Phones…, timed to the window
  shown; then every 10 ms a click into the Phones table, timed as above.
  Then 10^6 descriptors served to one phone through the attempts alone, each
  change handed to a relay as the engine hands it: the cost per request.
- No test asserts any of these figures; they are measured here only.
""")
