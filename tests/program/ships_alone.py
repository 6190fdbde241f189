#!/usr/bin/env python3
"""The Windows program ships alone: every DLL it imports is one of Windows's own.

Reads the import table of tarnwick.exe with the cross toolchain's objdump
and fails, naming them, when the program would need a DLL beside it.

Usage: ships_alone.py --objdump PATH --program PATH
"""

import argparse
import subprocess
import sys

# Part of every Windows since Vista; msvcrt is the C runtime Windows itself uses.
WINDOWS_OWN = {"advapi32.dll", "iphlpapi.dll", "kernel32.dll", "msvcrt.dll", "ws2_32.dll", "user32.dll",
               "shell32.dll", "ole32.dll", "bcrypt.dll"}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--program", required=True)
    args = parser.parse_args()
    table = subprocess.run([args.objdump, "-p", args.program], check=True, capture_output=True, text=True).stdout
    imported = {line.split(":", 1)[1].strip().lower() for line in table.splitlines() if "DLL Name:" in line}
    foreign = sorted(imported - WINDOWS_OWN)
    if foreign:
        print(f"ships_alone: {args.program} needs {', '.join(foreign)} beside it", file=sys.stderr)
        return 1
    print(f"ships_alone: imports only {', '.join(sorted(imported))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
