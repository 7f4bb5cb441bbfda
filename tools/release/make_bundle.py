#!/usr/bin/env python3
"""Makes the release zips of one Windows build.

    make_bundle.py BUILD_DIR ARCH OUT_DIR [--sign-key KEY.pem --sign-cert CERT.pem]

Writes OUT_DIR/torvane-VERSION-windows-ARCH.zip holding, in one folder
torvane-VERSION-windows-ARCH/: the stripped Torvane.dll, torvane-host.exe and
torvane-store.exe, the operator's guide (operator.md), COMPONENTS.txt (the
third-party components linked into each binary, with versions), their licence
texts under licenses/, and SHA256SUMS (the sha256 of each other file, in the
format `sha256sum -c` reads). Beside it torvane-VERSION-windows-ARCH-symbols.zip
holds one NAME.debug per binary, named by the binary's debug link.

Reproducible: the PE time stamps, the signing time and every zip entry's time
are the release time, SOURCE_DATE_EPOCH if set, else the time of the
checkout's commit; entries are in a fixed order with fixed attributes.

Signed (Authenticode, SHA-256, osslsigncode) when a key and certificate are
named, by the options or by TORVANE_SIGN_KEY and TORVANE_SIGN_CERT (PEM
files); otherwise it says on standard error that the release is unsigned.
VERSION is the project's version of that build. Prints the zips' paths.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import binaries  # noqa: E402
import components  # noqa: E402

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
# Zip entries from before 1980 cannot be written; no commit is that old.
ZIP_EPOCH_MIN = 315532800


def release_time():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    out = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"], capture_output=True, text=True)
    if out.returncode != 0 or not out.stdout.strip():
        sys.exit("make_bundle: not a git checkout; set SOURCE_DATE_EPOCH")
    return int(out.stdout.strip())


def write_zip(target, entries, epoch):
    """entries: [(name, bytes)], written in that order, each with the same
    time and attributes, so equal contents give an equal zip."""
    stamp = time.gmtime(max(epoch, ZIP_EPOCH_MIN))[:6]
    with zipfile.ZipFile(target + ".tmp", "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3
            info.external_attr = 0o100644 << 16
            z.writestr(info, data)
    os.replace(target + ".tmp", target)


def main():
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("build")
    parser.add_argument("arch", choices=sorted(components.PACKAGES))
    parser.add_argument("out")
    parser.add_argument("--sign-key", default=os.environ.get("TORVANE_SIGN_KEY") or None)
    parser.add_argument("--sign-cert", default=os.environ.get("TORVANE_SIGN_CERT") or None)
    args = parser.parse_args()
    if bool(args.sign_key) != bool(args.sign_cert):
        sys.exit("make_bundle: signing needs both a key and a certificate")
    build = args.build
    version = components.cache_value(build, "CMAKE_PROJECT_VERSION")
    if not version:
        sys.exit("make_bundle: no project version in %s" % build)
    epoch = release_time()
    name = "torvane-%s-windows-%s" % (version, args.arch)
    built = [("Torvane.dll", os.path.join(build, "Torvane.dll")),
             ("torvane-host.exe", os.path.join(build, "tools", "torvane-host.exe")),
             ("torvane-store.exe", os.path.join(build, "tools", "store", "torvane-store.exe"))]
    guide = os.path.join(ROOT, "docs", "operator.md")
    for path in [p for _, p in built] + [guide]:
        if not os.path.isfile(path):
            sys.exit("make_bundle: missing %s (build the %s preset first)" % (path, args.arch))
    objcopy = components.cache_value(build, "CMAKE_OBJCOPY") or "objcopy"

    shipped, symbols = {}, []
    with tempfile.TemporaryDirectory(prefix="torvane-bundle-") as work:
        for entry, path in built:
            binary, debug = binaries.split_and_strip(objcopy, path, entry, work, epoch)
            if args.sign_key:
                fault = binaries.sign(binary, args.sign_key, args.sign_cert, epoch)
                if fault:
                    sys.exit("make_bundle: " + fault)
            with open(binary, "rb") as f:
                shipped[entry] = f.read()
            with open(debug, "rb") as f:
                symbols.append(("%s-symbols/%s.debug" % (name, entry), f.read()))
    with open(guide, "rb") as f:
        shipped["operator.md"] = f.read()
    listing, licences = components.collect(build, args.arch, [k for k, _ in built])
    shipped["COMPONENTS.txt"] = listing.encode("utf-8")
    shipped.update(sorted(licences.items()))
    sums = "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), entry) for entry, data in shipped.items())
    shipped["SHA256SUMS"] = sums.encode("ascii")

    os.makedirs(args.out, exist_ok=True)
    target = os.path.join(args.out, name + ".zip")
    write_zip(target, [("%s/%s" % (name, k), v) for k, v in shipped.items()], epoch)
    symbols_zip = os.path.join(args.out, name + "-symbols.zip")
    write_zip(symbols_zip, symbols, epoch)
    if not args.sign_key:
        print("make_bundle: %s is unsigned (name a key and certificate with --sign-key/--sign-cert or "
              "TORVANE_SIGN_KEY/TORVANE_SIGN_CERT to sign)" % name, file=sys.stderr)
    print(target)
    print(symbols_zip)


if __name__ == "__main__":
    main()
