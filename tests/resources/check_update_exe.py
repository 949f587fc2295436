#!/usr/bin/env python3
"""Checks the built Update.exe byte for byte: its dialog template, version resource and
manifest as the resource compiler left them, and the PE header and imports as the linker left
them. Resources are read out with icoutils' wrestool, the headers with mingw's objdump.

Usage: check_update_exe.py UPDATE_EXE MANIFEST_FILE WRESTOOL OBJDUMP MACHINE
MACHINE is i386 for the updater itself (PE32), x86-64 for a 64-bit build of it (PE32+).
"""
import os
import re
import struct
import subprocess
import sys
import unittest

EXE = MANIFEST_FILE = WRESTOOL = OBJDUMP = MACHINE = None

JAPANESE = 0x0411
RT_DIALOG, RT_VERSION, RT_MANIFEST = 5, 16, 24

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
WS_CAPTION, WS_SYSMENU = 0x00C00000, 0x00080000
WS_GROUP, WS_TABSTOP = 0x00020000, 0x00010000
DS_MODALFRAME, DS_SETFONT, DS_CENTER = 0x80, 0x40, 0x800
BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_GROUPBOX = 0, 1, 7
SS_LEFT, SS_RIGHT = 0, 2
BUTTON, STATIC = 0x80, 0x82

CAPTION = "ぴこぺこらんど アップデート Ver 1.01"

# The update dialog's controls in tab order: id, class ordinal, style, x, y, width, height,
# text. An id of -1 is stored as 0xFFFFFFFF.
BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP
STATIC_STYLE = WS_CHILD | WS_VISIBLE | WS_GROUP
GROUP_STYLE = WS_CHILD | WS_VISIBLE | BS_GROUPBOX
CONTROLS = [
    (1, BUTTON, BUTTON_STYLE | BS_DEFPUSHBUTTON, 75, 143, 50, 14, "適用"),
    (2, BUTTON, BUTTON_STYLE | BS_PUSHBUTTON, 138, 143, 50, 14, "終了"),
    (-1, STATIC, STATIC_STYLE | SS_LEFT, 12, 14, 71, 9, "現在のバージョン"),
    (1000, STATIC, STATIC_STYLE | SS_RIGHT, 123, 13, 60, 9, "-----"),
    (-1, STATIC, STATIC_STYLE | SS_LEFT, 10, 71, 170, 19,
     "『ぴこぺこらんど』製品版を Ver 1.01 にアップデートします。"),
    (-1, STATIC, STATIC_STYLE | SS_LEFT, 9, 92, 175, 29,
     "※この修正パッチを適用すると、プレイデータやセーブデータは削除されます。"
     "予めご了承下さいませ。"),
    (-1, BUTTON, GROUP_STYLE, 7, 62, 181, 66, ""),
    (-1, BUTTON, GROUP_STYLE, 7, 5, 181, 22, ""),
    (-1, STATIC, STATIC_STYLE | SS_LEFT, 11, 34, 71, 9, "インストール先"),
    (1001, STATIC, STATIC_STYLE | SS_RIGHT, 18, 49, 164, 9, "Static"),
    (-1, BUTTON, GROUP_STYLE, 6, 25, 181, 39, ""),
]


def run(*command):
    # The tools' own messages in English, whatever the caller's locale: objdump translates
    # the lines this test reads.
    environment = dict(os.environ, LC_ALL="C")
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            check=False, env=environment)
    if result.returncode != 0:
        raise AssertionError(f"{command} failed: {result.stderr.decode(errors='replace')}")
    return result.stdout


def resource(kind, name, language=JAPANESE):
    return run(WRESTOOL, "-x", "-R", f"--type={kind}", f"--name={name}",
               f"--language={language}", EXE)


class Reader:
    """Little-endian fields of a resource, in order."""

    def __init__(self, data, offset=0):
        self.data, self.offset = data, offset

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.offset)
        self.offset += struct.calcsize("<" + fmt)
        return values if len(values) > 1 else values[0]

    def align(self, boundary):
        self.offset = (self.offset + boundary - 1) // boundary * boundary

    def text(self):
        """A NUL-terminated UTF-16 string."""
        end = self.offset
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        value = self.data[self.offset:end].decode("utf-16-le")
        self.offset = end + 2
        return value

    def text_or_ordinal(self):
        """0x0000 (nothing: ""), 0xFFFF and an ordinal (an int), or a string."""
        if struct.unpack_from("<H", self.data, self.offset)[0] == 0xFFFF:
            self.offset += 2
            return self.take("H")
        return self.text()


def parse_dialog(data):
    """An extended dialog template: its header fields by name and its controls' fields."""
    r = Reader(data)
    header = {}
    for name, fmt in [("version", "H"), ("signature", "H"), ("help id", "I"),
                      ("extended style", "I"), ("style", "I"), ("control count", "H"),
                      ("position and size", "4h")]:
        header[name] = r.take(fmt)
    header["menu"] = r.text_or_ordinal()
    header["class"] = r.text_or_ordinal()
    header["title"] = r.text_or_ordinal()
    for name, fmt in [("font size", "H"), ("font weight", "H"), ("italic", "B"),
                      ("character set", "B")]:
        header[name] = r.take(fmt)
    header["font name"] = r.text()
    controls = []
    for _ in range(header["control count"]):
        r.align(4)
        control = {}
        for name, fmt in [("help id", "I"), ("extended style", "I"), ("style", "I"),
                          ("rectangle", "4h"), ("id", "I")]:
            control[name] = r.take(fmt)
        control["class"] = r.text_or_ordinal()
        control["text"] = r.text_or_ordinal()
        control["creation data"] = r.take("H")
        r.offset += control["creation data"]
        controls.append(control)
    header["bytes left"] = len(data) - r.offset
    return header, controls


class DialogTemplate(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.header, cls.controls = parse_dialog(resource(RT_DIALOG, 101))

    def test_header(self):
        expected = {
            "version": 1, "signature": 0xFFFF, "help id": 0, "extended style": 0,
            "style": WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT,
            "control count": len(CONTROLS), "position and size": (0, 0, 195, 164),
            "menu": "", "class": "", "title": CAPTION,
            "font size": 9, "font weight": 0, "italic": 0, "character set": 0,
            "font name": "ＭＳ Ｐゴシック", "bytes left": 0,
        }
        for name, want in expected.items():
            with self.subTest(field=name):
                got = self.header[name]
                if name == "style":
                    got, want = hex(got), hex(want)
                self.assertEqual(got, want, f"dialog {name}")

    def test_controls(self):
        self.assertEqual(len(self.controls), len(CONTROLS))
        for number, (control, row) in enumerate(zip(self.controls, CONTROLS), 1):
            ident, kind, style, x, y, width, height, text = row
            expected = {
                "help id": 0, "extended style": 0, "style": hex(style),
                "rectangle": (x, y, width, height), "id": ident & 0xFFFFFFFF,
                "class": kind, "text": text, "creation data": 0,
            }
            actual = dict(control, style=hex(control["style"]))
            with self.subTest(control=number, id=ident, text=text):
                self.assertEqual(actual, expected)


def version_node(data, offset):
    """One node of a version resource: (key, value bytes, children, end offset)."""
    r = Reader(data, offset)
    length, value_length, kind = r.take("HHH")
    end = offset + length
    key = r.text()
    r.align(4)
    size = value_length * 2 if kind == 1 else value_length
    value = data[r.offset:r.offset + size]
    r.offset += size
    children = {}
    while True:
        r.align(4)
        if r.offset >= end:
            break
        child_key, child_value, grandchildren, r.offset = version_node(data, r.offset)
        children[child_key] = (child_value, grandchildren)
    return key, value, children, end


class VersionResource(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        data = resource(RT_VERSION, 1)
        cls.key, cls.fixed, cls.children, cls.end = version_node(data, 0)
        cls.size = len(data)

    def test_fixed_part(self):
        self.assertEqual(self.key, "VS_VERSION_INFO")
        self.assertEqual(self.end, self.size, "the root's length against the resource's")
        names = ["signature", "structure version", "file version MS", "file version LS",
                 "product version MS", "product version LS", "flags mask", "flags",
                 "operating system", "file type", "subtype", "date MS", "date LS"]
        expected = [0xFEEF04BD, 0x00010000, 0x00020000, 0x00010000, 0x00010003, 0x00000000,
                    0x17, 0, 4, 1, 0, 0, 0]
        actual = struct.unpack("<13I", self.fixed)
        for name, got, want in zip(names, actual, expected):
            with self.subTest(field=name):
                self.assertEqual(hex(got), hex(want), name)

    def test_strings(self):
        tables = self.children["StringFileInfo"][1]
        self.assertEqual(list(tables), ["041104B0"], "string tables")
        strings = {k: v.decode("utf-16-le") for k, (v, _) in tables["041104B0"][1].items()}
        for name, expected in [("FileDescription", "Update アプリケーション"),
                               ("FileVersion", "2, 0, 1, 0"),
                               ("ProductVersion", "1, 3, 0, 0")]:
            with self.subTest(string=name):
                self.assertEqual(strings.get(name), expected + "\0", name)

    def test_translation(self):
        variables = self.children["VarFileInfo"][1]
        self.assertEqual(variables["Translation"][0], struct.pack("<HH", JAPANESE, 1200))


class Manifest(unittest.TestCase):
    def test_manifest_is_the_empty_assembly(self):
        with open(MANIFEST_FILE, "rb") as f:
            expected = f.read()
        self.assertEqual(resource(RT_MANIFEST, 1), expected)
        self.assertRegex(expected.decode("utf-8"),
                         r'^<\?xml [^>]*\?>\s*<assembly xmlns="urn:schemas-microsoft-com:asm\.v1"'
                         r' manifestVersion="1\.0"/>\s*$')


class Executable(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.headers = run(OBJDUMP, "-p", EXE).decode("utf-8", errors="replace")

    def test_resources_are_exactly_these(self):
        listed = run(WRESTOOL, "-l", EXE).decode()
        found = sorted(re.findall(r"--type=(\d+) --name=(\d+) --language=(\d+)", listed))
        expected = sorted((str(t), str(n), str(JAPANESE)) for t, n in
                          [(RT_DIALOG, 101), (RT_VERSION, 1), (RT_MANIFEST, 1)])
        self.assertEqual(found, expected, listed)

    def test_machine_and_gui_subsystem(self):
        self.assertIn(f"file format pei-{MACHINE}", self.headers)
        magic = "010b" if MACHINE == "i386" else "020b"
        self.assertRegex(self.headers, rf"(?m)^Magic\s+{magic}\b", "optional header kind")
        self.assertRegex(self.headers, r"(?m)^Subsystem\s+00000002\b", "Windows GUI")

    def test_imports_only_system_dlls(self):
        dlls = sorted({d.lower() for d in re.findall(r"DLL Name: (\S+)", self.headers)})
        system = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "msvcrt.dll"}
        self.assertTrue(dlls, "no imports found")
        self.assertEqual([d for d in dlls if d not in system], [], f"imports: {dlls}")


if __name__ == "__main__":
    EXE, MANIFEST_FILE, WRESTOOL, OBJDUMP, MACHINE = sys.argv[1:6]
    unittest.main(argv=sys.argv[:1], verbosity=2)
