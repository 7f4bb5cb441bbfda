#!/usr/bin/env python3
"""The release zip of a Windows build, checked as an operator would use it:
made with tools/release/make_bundle.py, unpacked, its checksums verified, and
its torvane-host.exe run from the unpacked folder under Wine (`config`, which
must find its own folder as the host directory, and `--version`).

    check_release.py BUILD_DIR ARCH VERSION
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-exec")

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "release"))
from verdict import conclude  # noqa: E402
EXPECTED = {"Torvane.dll", "torvane-host.exe", "torvane-store.exe", "operator.md", "COMPONENTS.txt", "licenses",
            "SHA256SUMS"}


def main():
    build, arch, version = sys.argv[1:]
    faults = []
    work = tempfile.mkdtemp(prefix="torvane-release-")
    try:
        made = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "release", "make_bundle.py"),
                               build, arch, os.path.join(work, "dist")],
                              check=True, capture_output=True, text=True).stdout.split()[0]
        name = "torvane-%s-windows-%s" % (version, arch)
        if os.path.basename(made) != name + ".zip":
            faults.append("zip named %s" % os.path.basename(made))
        with zipfile.ZipFile(made) as z:
            z.extractall(os.path.join(work, "unpacked"))
        folder = os.path.join(work, "unpacked", name)
        present = set(os.listdir(folder)) if os.path.isdir(folder) else set()
        if present != EXPECTED:
            faults.append("contents %s" % sorted(present))
        with open(os.path.join(folder, "SHA256SUMS")) as f:
            for line in f:
                digest, entry = line.split()
                with open(os.path.join(folder, entry), "rb") as g:
                    if hashlib.sha256(g.read()).hexdigest() != digest:
                        faults.append("checksum of %s" % entry)
        host = os.path.join(folder, "torvane-host.exe")
        out = subprocess.run([WINE, host, "config"], capture_output=True, timeout=120)
        first = out.stdout.split(b"\n", 1)[0].rstrip(b"\r")
        want = ("HostDirectory=Z:" + folder.replace("/", "\\") + "\\").encode()
        if out.returncode != 0 or first.lower() != want.lower():
            faults.append("config from the bundle: rc %d, %r (want %r)" % (out.returncode, first, want))
        if b"kolMera2.ini reg=0" not in out.stdout:
            faults.append("config from the bundle lacks the defaults: %r" % out.stdout[:300])
        ver = subprocess.run([WINE, host, "--version"], capture_output=True, timeout=120)
        if not re.match(rb"torvane-host %s\r?\nOpenSSL \d" % re.escape(version.encode()), ver.stdout):
            faults.append("--version says %r" % ver.stdout)
    except (subprocess.SubprocessError, OSError, ValueError) as e:
        faults.append(repr(e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    conclude("release bundle %s" % arch, faults)


if __name__ == "__main__":
    main()
