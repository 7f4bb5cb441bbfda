#!/usr/bin/env python3
"""A signed release: a throwaway key and self-signed certificate made with
openssl on the spot, the zips made with them, every shipped binary verified
with `osslsigncode verify` against that certificate, the signed DLL's export
table still exactly DoWork@1 and ShowWarnInfo@2, and the signed DLL loaded
under Wine by the signed torvane-host.exe (`run`, which resolves DoWork and
calls it).

    check_signing.py BUILD_DIR ARCH
"""
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

from verdict import conclude

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
WINE = os.environ.get("TORVANE_WINE") or os.path.join(ROOT, "scripts", "wine-exec")
BINARIES = ["Torvane.dll", "torvane-host.exe", "torvane-store.exe"]


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=kw.pop("timeout", 120), **kw)


def main():
    build, arch = sys.argv[1:]
    faults = []
    work = tempfile.mkdtemp(prefix="torvane-signing-")
    try:
        key, cert = os.path.join(work, "key.pem"), os.path.join(work, "cert.pem")
        run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
             "/CN=Torvane test signing", "-keyout", key, "-out", cert], check=True)
        made = run([sys.executable, os.path.join(ROOT, "tools", "release", "make_bundle.py"), build, arch,
                    os.path.join(work, "dist"), "--sign-key", key, "--sign-cert", cert], check=True)
        if "unsigned" in made.stderr:
            faults.append("a signed release says it is unsigned")
        with zipfile.ZipFile(made.stdout.split()[0]) as z:
            z.extractall(os.path.join(work, "unpacked"))
        folder = os.path.join(work, "unpacked", os.path.basename(made.stdout.split()[0])[:-4])
        for binary in BINARIES:
            out = run(["osslsigncode", "verify", "-CAfile", cert, "-in", os.path.join(folder, binary)])
            if out.returncode != 0 or "Signature verification: ok" not in out.stdout:
                faults.append("%s does not verify: %s" % (binary, (out.stdout + out.stderr)[-400:]))
            if "sha256" not in out.stdout.lower():
                faults.append("%s: no SHA-256 digest in %r" % (binary, out.stdout[:300]))
        exports = run([sys.executable, os.path.join(ROOT, "tests", "entry", "check_library.py"), "pe",
                       os.path.join(folder, "Torvane.dll"), "DoWork@1", "ShowWarnInfo@2"])
        if exports.returncode != 0:
            faults.append("signed DLL exports: %s" % exports.stdout)
        loaded = run([WINE, os.path.join(folder, "torvane-host.exe"), "run", "--seconds", "2"], timeout=180)
        if loaded.returncode != 0:
            faults.append("signed DLL under Wine: rc %d, %s" % (loaded.returncode, (loaded.stdout + loaded.stderr)[-400:]))
    except (subprocess.SubprocessError, OSError, ValueError) as e:
        faults.append(repr(e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    conclude("signed release %s" % arch, faults)


if __name__ == "__main__":
    main()
