#!/usr/bin/env python3
"""Games for bench/run, made here rather than fetched.

  bench/make-games.py FOLDER COUNT
      COUNT small games (an archive with a manifest and a 16 x 16 PNG icon,
      no descriptor) into FOLDER, as a collector's folder holds them.
  bench/make-games.py --bench-game FOLDER
      The game every server is measured on: game.jad, a descriptor of about
      300 bytes, and game.jar, a real archive of exactly 1 MiB (1,048,576
      bytes) whose manifest agrees with the descriptor, so that the game
      check finds nothing and a repaired descriptor reads its manifest as a
      phone's would. Random bytes, stored, fill it to size, so that the
      archive stays as incompressible as the random file it replaces. The
      same bytes every time."""
import os
import random
import struct
import sys
import zipfile
import zlib

BENCH_JAR_SIZE = 1 << 20
BENCH_GAME = [
    ("MIDlet-Name", "Bench Game"),
    ("MIDlet-Vendor", "Tarnwick Bench"),
    ("MIDlet-Version", "1.0.0"),
    ("MIDlet-1", "Bench Game, /icon.png, bench.Game"),
    ("MicroEdition-Configuration", "CLDC-1.1"),
    ("MicroEdition-Profile", "MIDP-2.0"),
]


def png(seed):
    """A real 16 x 16 PNG in one colour, different for each seed."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    colour = bytes(((seed * 37) % 256, (seed * 91) % 256, (seed * 53) % 256))
    rows = b"".join(b"\x00" + colour * 16 for _ in range(16))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def many_games(folder, count):
    os.makedirs(folder, exist_ok=True)
    for i in range(count):
        name = f"Game {i:05d}"
        manifest = (f"Manifest-Version: 1.0\r\nMIDlet-Name: {name}\r\nMIDlet-Version: 1.0.{i % 100}\r\n"
                    f"MIDlet-Vendor: Vendor {i % 97}\r\nMIDlet-1: {name}, /icon.png, game.Main\r\n"
                    "MicroEdition-Profile: MIDP-2.0\r\nMicroEdition-Configuration: CLDC-1.1\r\n\r\n")
        with zipfile.ZipFile(os.path.join(folder, f"game{i:05d}.jar"), "w", zipfile.ZIP_DEFLATED) as jar:
            jar.writestr("META-INF/MANIFEST.MF", manifest)
            jar.writestr("icon.png", png(i % 64))
            jar.writestr("game/Main.class", b"\xca\xfe\xba\xbe" + bytes(200))


def write_bench_jar(path, filler):
    """The bench game's archive with FILLER random bytes stored in it."""
    def entry(name, kind):
        info = zipfile.ZipInfo(name, date_time=(2010, 1, 1, 0, 0, 0))
        info.compress_type = kind
        return info
    manifest = "Manifest-Version: 1.0\r\n" + "".join(f"{k}: {v}\r\n" for k, v in BENCH_GAME) + "\r\n"
    with zipfile.ZipFile(path, "w") as jar:
        jar.writestr(entry("META-INF/MANIFEST.MF", zipfile.ZIP_DEFLATED), manifest)
        jar.writestr(entry("bench/Game.class", zipfile.ZIP_DEFLATED), b"\xca\xfe\xba\xbe" + bytes(200))
        jar.writestr(entry("icon.png", zipfile.ZIP_STORED), png(7))
        jar.writestr(entry("bench/levels.bin", zipfile.ZIP_STORED), random.Random(1).randbytes(filler))


def bench_game(folder):
    os.makedirs(folder, exist_ok=True)
    jar = os.path.join(folder, "game.jar")
    # A stored entry adds its length and nothing else: the archive's size
    # without filler says how much filler makes 1 MiB.
    write_bench_jar(jar, 0)
    write_bench_jar(jar, BENCH_JAR_SIZE - os.path.getsize(jar))
    size = os.path.getsize(jar)
    if size != BENCH_JAR_SIZE:
        sys.exit(f"make-games.py: game.jar is {size} bytes, not {BENCH_JAR_SIZE}")
    fields = dict(BENCH_GAME)
    descriptor = (f"MIDlet-1: {fields['MIDlet-1']}\r\n"
                  f"MIDlet-Jar-Size: {size}\r\nMIDlet-Jar-URL: game.jar\r\n"
                  f"MIDlet-Name: {fields['MIDlet-Name']}\r\nMIDlet-Vendor: {fields['MIDlet-Vendor']}\r\n"
                  f"MIDlet-Version: {fields['MIDlet-Version']}\r\n"
                  f"MicroEdition-Configuration: {fields['MicroEdition-Configuration']}\r\n"
                  f"MicroEdition-Profile: {fields['MicroEdition-Profile']}\r\n"
                  "MIDlet-Description: A descriptor of about three hundred bytes for the benchmark.\r\n")
    with open(os.path.join(folder, "game.jad"), "w", newline="") as out:
        out.write(descriptor)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--bench-game":
        bench_game(sys.argv[2])
    elif len(sys.argv) == 3:
        many_games(sys.argv[1], int(sys.argv[2]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
