#!/usr/bin/env python3
"""Makes the release zip of one Windows build.

    make_bundle.py BUILD_DIR ARCH OUT_DIR

Writes OUT_DIR/torvane-VERSION-windows-ARCH.zip holding, in one folder
torvane-VERSION-windows-ARCH/: Torvane.dll, torvane-host.exe,
torvane-store.exe, the operator's guide (operator.md) and SHA256SUMS (the
sha256 of each other file, in the format `sha256sum -c` reads). VERSION is
the project's version of that build. Prints the zip's path.
"""
import hashlib
import os
import re
import sys
import zipfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))


def project_version(build):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        m = re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", f.read(), re.M)
    if not m:
        sys.exit("make_bundle: no project version in %s" % build)
    return m.group(1).strip()


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    build, arch, out = sys.argv[1:]
    version = project_version(build)
    name = "torvane-%s-windows-%s" % (version, arch)
    files = [("Torvane.dll", os.path.join(build, "Torvane.dll")),
             ("torvane-host.exe", os.path.join(build, "tools", "torvane-host.exe")),
             ("torvane-store.exe", os.path.join(build, "tools", "store", "torvane-store.exe")),
             ("operator.md", os.path.join(ROOT, "docs", "operator.md"))]
    for _, path in files:
        if not os.path.isfile(path):
            sys.exit("make_bundle: missing %s (build the %s preset first)" % (path, arch))
    os.makedirs(out, exist_ok=True)
    target = os.path.join(out, name + ".zip")
    sums = []
    with zipfile.ZipFile(target + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
        for entry, path in files:
            with open(path, "rb") as f:
                data = f.read()
            sums.append("%s  %s\n" % (hashlib.sha256(data).hexdigest(), entry))
            z.writestr("%s/%s" % (name, entry), data)
        z.writestr("%s/SHA256SUMS" % name, "".join(sums))
    os.replace(target + ".tmp", target)
    print(target)


if __name__ == "__main__":
    main()
