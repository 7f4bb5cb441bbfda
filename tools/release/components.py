"""The third-party components linked into the shipped Windows binaries, with
their versions as the build used them, and their licence texts.

Versions come from the machine that built: OpenSSL's from the Debian source
package scripts/build-openssl-mingw built libcrypto from (its stamp), the
compiler's and the mingw-w64 runtime's from their Debian packages."""
import glob
import os
import re
import subprocess

# Debian package names per architecture: the cross compiler (GCC and its
# runtimes libgcc, libstdc++) and mingw-w64 (the C runtime start-up code,
# libmingwex, winpthreads).
PACKAGES = {
    "x64": ("gcc-mingw-w64-x86-64-posix", "mingw-w64-x86-64-dev"),
    "x86": ("gcc-mingw-w64-i686-posix", "mingw-w64-i686-dev"),
}


def _package_version(name):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], check=True,
                          capture_output=True, text=True).stdout.strip()


def cache_value(build, key):
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        m = re.search(r"^%s:[A-Z]+=(.*)$" % re.escape(key), f.read(), re.M)
    return m.group(1).strip() if m else ""


def _openssl(build):
    """(upstream version text, Debian source version, path of LICENSE.txt)."""
    root = cache_value(build, "OPENSSL_ROOT_DIR")
    with open(os.path.join(root, "include", "openssl", "opensslv.h"), encoding="utf-8") as f:
        text = re.search(r'define OPENSSL_VERSION_TEXT\s+"([^"]+)"', f.read()).group(1)
    with open(os.path.join(root, ".stamp"), encoding="utf-8") as f:
        debian = f.read().split()[0]  # the Debian source version, then the options used
    cache = os.path.dirname(os.path.normpath(root))
    licences = glob.glob(os.path.join(cache, "openssl-src-" + debian, "openssl-*", "LICENSE.txt"))
    if not licences:
        raise FileNotFoundError("OpenSSL's LICENSE.txt under %s/openssl-src-%s" % (cache, debian))
    return text, debian, licences[0]


def collect(build, arch, binaries):
    """Returns (component list text, {licence file name in the zip: bytes})
    for the named binaries. Each links the core, and with it libcrypto (the
    store's cipher), and the runtimes."""
    gcc_pkg, mingw_pkg = PACKAGES[arch]
    gcc_version = _package_version(gcc_pkg).split("-")[0]  # upstream part: 12.2.0
    ssl_text, ssl_debian, ssl_licence = _openssl(build)
    runtimes = [
        ("GCC runtime libraries (libgcc, libstdc++)", "GCC %s (Debian %s %s)"
         % (gcc_version, gcc_pkg, _package_version(gcc_pkg)),
         "GPL-3.0-or-later WITH GCC-exception-3.1", "licenses/GCC-runtime.txt"),
        ("mingw-w64 C runtime (CRT start-up, libmingwex)", "mingw-w64 (Debian %s %s)"
         % (mingw_pkg, _package_version(mingw_pkg)), "ZPL-2.1 and public domain, see the file",
         "licenses/mingw-w64.txt"),
        ("winpthreads (POSIX threads for the C++ runtime)", "mingw-w64 (Debian %s %s)"
         % (mingw_pkg, _package_version(mingw_pkg)), "MIT", "licenses/mingw-w64.txt"),
    ]
    openssl = ("OpenSSL libcrypto (static)", "%s (Debian source openssl %s)" % (ssl_text, ssl_debian),
               "Apache-2.0", "licenses/OpenSSL.txt")
    lines = ["Third-party components linked into each binary (all statically).",
             "Built with the GCC %s cross compiler for %s (%s)." % (gcc_version, arch, gcc_pkg), ""]
    for name in binaries:
        lines.append(name + ":")
        for component, version, licence, text in [openssl] + runtimes:
            lines.append("  - %s\n      version: %s\n      licence: %s (%s)" % (component, version, licence, text))
        lines.append("")
    doc = "/usr/share/doc/%s/copyright"
    texts = {}
    for zip_name, path in (("licenses/OpenSSL.txt", ssl_licence),
                           ("licenses/GCC-runtime.txt", doc % "gcc-mingw-w64-base"),
                           ("licenses/mingw-w64.txt", doc % mingw_pkg)):
        with open(path, "rb") as f:
            texts[zip_name] = f.read()
    return "\n".join(lines), texts
