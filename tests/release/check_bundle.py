#!/usr/bin/env python3
"""The release zips of a Windows build, read without running anything: made
with tools/release/make_bundle.py into a temporary folder, then checked for
what makes them deployable and reproducible.

    check_bundle.py BUILD_DIR ARCH SOURCE_DIR

- every shipped binary is stripped (no DWARF sections) and carries a debug
  link naming its .debug file in the symbols zip, with that file's CRC;
- every PE time stamp is the release time (SOURCE_DATE_EPOCH, else the
  commit's time), so it does not depend on when the build ran;
- no shipped binary names the source or build folder;
- both zips list their entries in the fixed order, all with the release
  time and the same attributes;
- COMPONENTS.txt names OpenSSL's version for each binary, and the licence
  texts it points to are in the zip.
"""
import os
import struct
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tools", "release"))
from pe_image import PeImage  # noqa: E402
from verdict import conclude  # noqa: E402

BINARIES = ["Torvane.dll", "torvane-host.exe", "torvane-store.exe"]
ORDER = BINARIES + ["operator.md", "COMPONENTS.txt", "licenses/GCC-runtime.txt", "licenses/OpenSSL.txt",
                    "licenses/mingw-w64.txt", "SHA256SUMS"]


def release_time():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    return int(subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], check=True,
                              capture_output=True, text=True).stdout)


def debuglink(pe):
    for name, _, _, raw, rawsize in pe.sections:
        if name == ".gnu_debuglink":
            body = pe.data[raw:raw + rawsize]
            file = body[:body.index(b"\0")].decode()
            at = (len(file) + 4) & ~3
            return file, struct.unpack_from("<I", body, at)[0]
    return None, None


def check_zip(z, prefix, names, epoch, faults):
    stamp = time.gmtime(epoch - epoch % 2)[:6]  # zip times have 2-second steps
    listed = [i.filename for i in z.infolist()]
    if listed != [prefix + n for n in names]:
        faults.append("%s entries %s" % (os.path.basename(z.filename), listed))
    for info in z.infolist():
        if info.date_time != stamp or info.external_attr != 0o100644 << 16:
            faults.append("%s: time %s, attributes %o" % (info.filename, info.date_time, info.external_attr >> 16))


def main():
    build, arch, source = sys.argv[1:]
    faults = []
    epoch = release_time()
    with tempfile.TemporaryDirectory(prefix="torvane-bundle-check-") as out:
        made = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "release", "make_bundle.py"),
                               build, arch, out], check=True, capture_output=True, text=True,
                              env={k: v for k, v in os.environ.items() if not k.startswith("TORVANE_SIGN")})
        main_zip, symbols_zip = made.stdout.split()
        if "unsigned" not in made.stderr:
            faults.append("an unsigned release does not say so: %r" % made.stderr)
        name = os.path.basename(main_zip)[:-4]
        with zipfile.ZipFile(main_zip) as z, zipfile.ZipFile(symbols_zip) as s:
            check_zip(z, name + "/", ORDER, epoch, faults)
            check_zip(s, name + "-symbols/", [b + ".debug" for b in BINARIES], epoch, faults)
            paths = {os.path.realpath(p).encode() for p in (build, source)}
            components = z.read(name + "/COMPONENTS.txt").decode()
            for binary in BINARIES:
                data = z.read("%s/%s" % (name, binary))
                pe = PeImage(data)
                if pe.timestamp != epoch:
                    faults.append("%s: PE time stamp %d, not the release time %d" % (binary, pe.timestamp, epoch))
                dwarf = [n for n in pe.section_names() if n.startswith(".debug")]
                if dwarf:
                    faults.append("%s is not stripped: %s" % (binary, dwarf))
                for path in paths:
                    if path in data:
                        faults.append("%s names %s" % (binary, path.decode()))
                link, crc = debuglink(pe)
                debug = s.read("%s-symbols/%s.debug" % (name, binary))
                if link != binary + ".debug" or crc != zlib.crc32(debug):
                    faults.append("%s: debug link %r, CRC %s" % (binary, link, crc))
                if PeImage(debug).timestamp != epoch:
                    faults.append("%s.debug: PE time stamp not the release time" % binary)
                section = components.split(binary + ":", 1)[-1].split("\n\n", 1)[0]
                if binary + ":" not in components or "OpenSSL 3." not in section:
                    faults.append("COMPONENTS.txt lists no OpenSSL for %s" % binary)
    conclude("release zips %s" % arch, faults)


if __name__ == "__main__":
    main()
