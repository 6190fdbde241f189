#!/usr/bin/env python3
"""Writes COUNT small games (an archive with a manifest and a 16 x 16 PNG
icon, no descriptor) into FOLDER, as a collector's folder holds them:
  bench/make-games.py FOLDER COUNT"""
import os
import struct
import sys
import zipfile
import zlib


def png(seed):
    """A real 16 x 16 PNG in one colour, different for each seed."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    colour = bytes(((seed * 37) % 256, (seed * 91) % 256, (seed * 53) % 256))
    rows = b"".join(b"\x00" + colour * 16 for _ in range(16))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16, 16, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def main():
    folder, count = sys.argv[1], int(sys.argv[2])
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


if __name__ == "__main__":
    main()
