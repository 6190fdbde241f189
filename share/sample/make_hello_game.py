#!/usr/bin/env python3
"""Makes the sample game, hello.jar and hello.jad, into a folder.

The archive holds one MIDlet class, written here byte by byte (no Java
toolchain is needed), and its manifest. The class is the equivalent of

    public class HelloMIDlet extends javax.microedition.midlet.MIDlet {
        public void startApp() {
            Form form = new Form("Hello Tarnwick");
            form.append("Installed over the air from Tarnwick.");
            Display.getDisplay(this).setCurrent(form);
        }
        public void pauseApp() {}
        public void destroyApp(boolean unconditional) {}
    }

in class file version 45.3, which every CLDC phone loads. Its code has no
branches, so a phone's verifier needs no stack map. The archive's entries
are stored (not compressed) with fixed times in a fixed order, so the same
bytes come out on every machine.

Usage: make_hello_game.py <folder>
"""

import struct
import sys
import zipfile
from pathlib import Path

CLASS_NAME = "HelloMIDlet"
TITLE = "Hello Tarnwick"
TEXT = "Installed over the air from Tarnwick."

ATTRIBUTES = [
    ("MIDlet-Name", TITLE),
    ("MIDlet-Version", "1.0.0"),
    ("MIDlet-Vendor", "Tarnwick"),
    ("MIDlet-1", f"{TITLE}, , {CLASS_NAME}"),
    ("MicroEdition-Profile", "MIDP-1.0"),
    ("MicroEdition-Configuration", "CLDC-1.0"),
]

# Bytecode instructions used below.
ALOAD_0, ALOAD_1, ASTORE_1 = 0x2A, 0x2B, 0x4C
NEW, DUP, LDC, POP, RETURN = 0xBB, 0x59, 0x12, 0x57, 0xB1
INVOKEVIRTUAL, INVOKESPECIAL, INVOKESTATIC = 0xB6, 0xB7, 0xB8

ACC_PUBLIC, ACC_SUPER = 0x0001, 0x0020


class ConstantPool:
    """The class file's constant pool: each constant once, numbered from 1."""

    def __init__(self):
        self.entries = []
        self.index = {}

    def _add(self, key, data):
        if key not in self.index:
            self.entries.append(data)
            self.index[key] = len(self.entries)
        return self.index[key]

    def utf8(self, text):
        data = text.encode("utf-8")  # ASCII only here, where modified UTF-8 is the same
        return self._add(("utf8", text), struct.pack(">BH", 1, len(data)) + data)

    def klass(self, name):
        return self._add(("class", name), struct.pack(">BH", 7, self.utf8(name)))

    def string(self, text):
        return self._add(("string", text), struct.pack(">BH", 8, self.utf8(text)))

    def name_and_type(self, name, descriptor):
        return self._add(("nat", name, descriptor),
                         struct.pack(">BHH", 12, self.utf8(name), self.utf8(descriptor)))

    def method(self, owner, name, descriptor):
        return self._add(("method", owner, name, descriptor),
                         struct.pack(">BHH", 10, self.klass(owner), self.name_and_type(name, descriptor)))

    def to_bytes(self):
        return struct.pack(">H", len(self.entries) + 1) + b"".join(self.entries)


def method_info(pool, name, descriptor, max_stack, max_locals, code):
    body = struct.pack(">HHI", max_stack, max_locals, len(code)) + code + struct.pack(">HH", 0, 0)
    code_attribute = struct.pack(">HI", pool.utf8("Code"), len(body)) + body
    return struct.pack(">HHHH", ACC_PUBLIC, pool.utf8(name), pool.utf8(descriptor), 1) + code_attribute


def hello_class():
    midlet = "javax/microedition/midlet/MIDlet"
    form = "javax/microedition/lcdui/Form"
    display = "javax/microedition/lcdui/Display"
    pool = ConstantPool()
    this_class = pool.klass(CLASS_NAME)
    super_class = pool.klass(midlet)

    def u2(value):
        return struct.pack(">H", value)

    constructor = bytes([ALOAD_0, INVOKESPECIAL]) + u2(pool.method(midlet, "<init>", "()V")) + bytes([RETURN])
    start_app = (
        bytes([NEW]) + u2(pool.klass(form)) + bytes([DUP, LDC, pool.string(TITLE)])
        + bytes([INVOKESPECIAL]) + u2(pool.method(form, "<init>", "(Ljava/lang/String;)V"))
        + bytes([ASTORE_1, ALOAD_1, LDC, pool.string(TEXT)])
        + bytes([INVOKEVIRTUAL]) + u2(pool.method(form, "append", "(Ljava/lang/String;)I"))
        + bytes([POP, ALOAD_0, INVOKESTATIC])
        + u2(pool.method(display, "getDisplay", "(L" + midlet + ";)L" + display + ";"))
        + bytes([ALOAD_1, INVOKEVIRTUAL])
        + u2(pool.method(display, "setCurrent", "(Ljavax/microedition/lcdui/Displayable;)V"))
        + bytes([RETURN])
    )
    methods = [
        method_info(pool, "<init>", "()V", 1, 1, constructor),
        # new, dup and the title are on the stack at once.
        method_info(pool, "startApp", "()V", 3, 2, start_app),
        method_info(pool, "pauseApp", "()V", 0, 1, bytes([RETURN])),
        method_info(pool, "destroyApp", "(Z)V", 0, 2, bytes([RETURN])),
    ]
    # Every constant is in the pool once the methods are made.
    assert len(pool.entries) < 256, "ldc takes a one-byte index"
    return (
        struct.pack(">IHH", 0xCAFEBABE, 3, 45)
        + pool.to_bytes()
        + struct.pack(">HHHHH", ACC_PUBLIC | ACC_SUPER, this_class, super_class, 0, 0)
        + u2(len(methods)) + b"".join(methods)
        + u2(0)
    )


def manifest():
    lines = ["Manifest-Version: 1.0"] + [f"{name}: {value}" for name, value in ATTRIBUTES]
    return ("\r\n".join(lines) + "\r\n\r\n").encode("utf-8")


def stored_entry(name):
    entry = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
    entry.compress_type = zipfile.ZIP_STORED
    entry.create_system = 0
    entry.external_attr = 0
    return entry


def write_game(folder):
    folder.mkdir(parents=True, exist_ok=True)
    jar = folder / "hello.jar"
    with zipfile.ZipFile(jar, "w") as archive:
        archive.writestr(stored_entry("META-INF/MANIFEST.MF"), manifest())
        archive.writestr(stored_entry(CLASS_NAME + ".class"), hello_class())
    descriptor = ATTRIBUTES + [("MIDlet-Jar-URL", "hello.jar"), ("MIDlet-Jar-Size", str(jar.stat().st_size))]
    (folder / "hello.jad").write_bytes("".join(f"{name}: {value}\r\n" for name, value in descriptor).encode("utf-8"))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip().splitlines()[-1])
    write_game(Path(sys.argv[1]))
