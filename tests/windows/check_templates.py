#!/usr/bin/env python3
"""Reads the dialog templates out of a built Torvane.dll without running it
and compares them with res/torvane.rc: every dialog in language 2052 an
extended template with the source's size, caption and font, and its controls
in order with the source's ids, classes, texts (or icon ordinals) and places;
the icon the warning box shows there too.

    check_templates.py DLL RC_FILE
"""
import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "entry"))
from check_library import Pe  # noqa: E402

RT_ICON_GROUP, RT_DIALOG, CHINESE = 14, 5, 2052
CLASS_ATOMS = {0x80: "Button", 0x81: "Edit", 0x82: "Static"}


def resources(pe):
    """{(type, id, language): bytes} from the resource directory tree."""
    rva, _ = pe.dirs[2]
    base = pe.off(rva)
    data, found = pe.data, {}

    def entries(at):
        named, ids = struct.unpack_from("<HH", data, at + 12)
        for k in range(named + ids):
            key, target = struct.unpack_from("<II", data, at + 16 + 8 * k)
            yield key, target

    for kind, t in entries(base):
        for ident, n in entries(base + (t & 0x7FFFFFFF)):
            for lang, leaf in entries(base + (n & 0x7FFFFFFF)):
                at, size = struct.unpack_from("<II", data, base + leaf)
                found[(kind, ident, lang)] = data[pe.off(at):pe.off(at) + size]
    return found


class Reader:
    def __init__(self, data):
        self.data, self.at = data, 0

    def take(self, fmt):
        values = struct.unpack_from("<" + fmt, self.data, self.at)
        self.at += struct.calcsize("<" + fmt)
        return values

    def sz_or_ordinal(self):
        if self.take("H")[0] == 0xFFFF:
            return self.take("H")[0]
        self.at -= 2
        end = self.at
        while self.data[end:end + 2] != b"\0\0":
            end += 2
        text = self.data[self.at:end].decode("utf-16le")
        self.at = end + 2
        return text

    def align(self):
        self.at = (self.at + 3) & ~3


def decode(data):
    r = Reader(data)
    version, signature, _, _, _, count, x, y, cx, cy = r.take("HHIIIHhhhh")
    if (version, signature) != (1, 0xFFFF):
        raise ValueError("not an extended dialog template")
    menu, cls, title = r.sz_or_ordinal(), r.sz_or_ordinal(), r.sz_or_ordinal()
    points, weight, italic, charset = r.take("HHBB")
    face = r.sz_or_ordinal()
    dialog = {"size": (x, y, cx, cy), "menu": menu, "class": cls, "caption": title,
              "font": (points, face, weight, italic, charset), "controls": []}
    for _ in range(count):
        r.align()
        _, _, _, x, y, cx, cy, ident = r.take("IIIhhhhi")
        kind, text = r.sz_or_ordinal(), r.sz_or_ordinal()
        extra = r.take("H")[0]
        r.at += extra
        kind = CLASS_ATOMS.get(kind, kind)  # the resource compiler may store a class by name, in capitals
        dialog["controls"].append((ident, kind.lower() if isinstance(kind, str) else kind, text, (x, y, cx, cy)))
    return dialog


def from_source(path):
    """{id: dialog} as res/torvane.rc writes them (styles aside)."""
    dialogs, current = {}, None
    quoted = r'"([^"]*)"'
    for line in open(path, encoding="utf-8"):
        line = line.strip()
        if m := re.match(r"(\d+) DIALOGEX (-?\d+), (-?\d+), (\d+), (\d+)$", line):
            current = dialogs[int(m[1])] = {"size": tuple(int(v) for v in m.groups()[1:]), "menu": "",
                                            "class": "", "caption": "", "controls": []}
        elif current is None:
            continue
        elif m := re.match(r"CAPTION " + quoted, line):
            current["caption"] = m[1]
        elif m := re.match(r"FONT (\d+), " + quoted + r", (\d+), (\d+), (\d+)", line):
            current["font"] = (int(m[1]), m[2], int(m[3]), int(m[4]), int(m[5]))
        elif m := re.match(r'CONTROL (?:"([^"]*)"|(\d+)), (-?\d+), ' + quoted +
                           r", [^,]+, (\d+), (\d+), (\d+), (\d+)$", line):
            text = m[1] if m[1] is not None else int(m[2])
            current["controls"].append((int(m[3]), m[4].lower(), text, tuple(int(v) for v in m.groups()[4:])))
        elif line == "END":
            current = None
    return dialogs


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1], "rb") as f:
        found = resources(Pe(f.read()))
    wanted = from_source(sys.argv[2])
    faults = []
    if not wanted:
        faults.append("no dialogs read from " + sys.argv[2])
    for ident, want in sorted(wanted.items()):
        raw = found.get((RT_DIALOG, ident, CHINESE))
        if raw is None:
            faults.append(f"dialog {ident}: not in language {CHINESE}")
            continue
        try:
            got = decode(raw)
        except (ValueError, struct.error, UnicodeDecodeError) as e:
            faults.append(f"dialog {ident}: {e}")
            continue
        for field, value in want.items():
            if got[field] != value:
                faults.append(f"dialog {ident} {field}: {got[field]!r}, source says {value!r}")
        print(f"dialog {ident}: {len(got['controls'])} controls, caption {got['caption']!r}")
    if (RT_ICON_GROUP, 8006, CHINESE) not in found:
        faults.append(f"icon 8006: not in language {CHINESE}")
    for fault in faults:
        print("FAULT:", fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
