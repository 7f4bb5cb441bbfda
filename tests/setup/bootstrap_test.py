#!/usr/bin/env python3
"""Set-up's package decisions, run against stand-in apt-get, dpkg and
dpkg-query commands and a stand-in 32-bit probe: nothing is installed.

    bootstrap_test.py SOURCE_DIR
"""
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

SOURCE = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "../.."))
INDEX = "http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz"

# apt-get: `update` fails the first $FAKE_UPDATE_FAILS times as a lagging
# index does; `install` refuses any package in $FAKE_UNINSTALLABLE (with -s
# too) and otherwise records the packages as installed.
APT_GET = textwrap.dedent(r'''
    #!/usr/bin/env bash
    echo "apt-get $*" >>"$FAKE/calls"
    case $1 in
      update)
        n=$(cat "$FAKE/updates" 2>/dev/null || echo 0); echo $((n + 1)) >"$FAKE/updates"
        if ((n < ${FAKE_UPDATE_FAILS:-0})); then
          echo "E: Failed to fetch %s  File has unexpected size (374820 != 376004). Mirror sync in progress?"
          echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
          exit 100
        fi
        exit 0 ;;
      install)
        shift; sim=no; pkgs=()
        for a in "$@"; do
          case $a in -s) sim=yes ;; -*) ;; *) pkgs+=("$a") ;; esac
        done
        for p in "${pkgs[@]}"; do
          if [[ " ${FAKE_UNINSTALLABLE:-} " == *" $p "* ]]; then
            echo "The following packages have unmet dependencies:"
            echo " $p : Depends: zlib1g:i386 (>= 1:1.2.13.dfsg-1) but it is not installable"
            echo "E: Unable to correct problems, you have held broken packages."
            exit 100
          fi
        done
        [[ $sim == yes ]] || printf '%%s\n' "${pkgs[@]}" >>"$FAKE/installed"
        exit 0 ;;
    esac
    ''' % INDEX).lstrip()

# dpkg-query -W -f='${Package} ${Architecture} ${db:Status-Abbrev}\n' NAME...
DPKG_QUERY = textwrap.dedent(r'''
    #!/usr/bin/env bash
    shift 2
    for p in "$@"; do
      grep -qx -- "$p" "$FAKE/installed" 2>/dev/null || continue
      name=${p%%:*}; arch=amd64; [[ $p == *:* ]] && arch=${p#*:}
      echo "$name $arch ii "
    done
    ''').lstrip()

DPKG = textwrap.dedent(r'''
    #!/usr/bin/env bash
    echo "dpkg $*" >>"$FAKE/calls"
    case $1 in
      --print-architecture) echo amd64 ;;
      --print-foreign-architectures) cat "$FAKE/archs" 2>/dev/null ;;
      --add-architecture) echo "$2" >>"$FAKE/archs" ;;
    esac
    exit 0
    ''').lstrip()


def write(path, text, mode=0o755):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


class Machine:
    """A fake machine: stand-in package tools on PATH, a cache folder."""

    def __init__(self, tmp, runs_32bit, installed=()):
        self.fake = os.path.join(tmp, "fake")
        self.bin = os.path.join(tmp, "bin")
        self.cache = os.path.join(tmp, "cache")
        for d in (self.fake, self.bin):
            os.makedirs(d)
        write(os.path.join(self.bin, "apt-get"), APT_GET)
        write(os.path.join(self.bin, "dpkg-query"), DPKG_QUERY)
        write(os.path.join(self.bin, "dpkg"), DPKG)
        # Exit code 42 is what the real probe gives where 32-bit programs run.
        self.probe = os.path.join(tmp, "probe32")
        write(self.probe, "#!/bin/sh\nexit %d\n" % (42 if runs_32bit else 126))
        write(os.path.join(self.fake, "installed"), "".join(p + "\n" for p in installed), 0o644)

    def run(self, script, **env):
        full = dict(os.environ, PATH=self.bin + ":" + os.environ["PATH"], FAKE=self.fake,
                    TORVANE_CACHE=self.cache, TORVANE_32BIT_PROBE=self.probe,
                    TORVANE_APT_RETRY_DELAY="0", TORVANE_RUNS_32BIT="no", TORVANE_SKIP_32BIT="")
        full.update(env)
        return subprocess.run(["bash", "-c", script], cwd=SOURCE, env=full, capture_output=True,
                              text=True, timeout=120)

    def setup(self, profile="full", **env):
        return self.run('source scripts/setup/packages.sh && setup_packages "$0"'.replace('"$0"', profile), **env)

    def read(self, name):
        try:
            with open(os.path.join(self.fake, name)) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def installed(self):
        return set(self.read("installed").split())

    def early_line(self):
        r = self.run("source scripts/wine-env && wine_32bit_line")
        return r.stdout.strip()


def package_lists():
    out = subprocess.run(["bash", "-c", 'source scripts/setup/packages.sh && '
                          'echo "${native_packages[*]}" && echo "${full_packages[*]}"'],
                         cwd=SOURCE, capture_output=True, text=True, check=True).stdout.splitlines()
    return set(out[0].split()), set(out[1].split())


class SetUp(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.native, self.full = package_lists()

    def tearDown(self):
        self.tmp.cleanup()

    def test_machine_that_runs_32bit_programs_gets_everything(self):
        m = Machine(self.tmp.name, runs_32bit=True)
        r = m.setup()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("dpkg --add-architecture i386", m.read("calls"))
        self.assertEqual(m.installed(), self.native | self.full | {"wine32:i386"})
        self.assertFalse(os.path.exists(os.path.join(m.cache, "no-32bit")))
        # Done once: a second run neither updates nor installs.
        calls = m.read("calls").count("apt-get")
        self.assertEqual(m.setup().returncode, 0)
        self.assertEqual(m.read("calls").count("apt-get"), calls)

    def test_lagging_index_and_unsatisfiable_32bit_wine_leave_the_64bit_half(self):
        m = Machine(self.tmp.name, runs_32bit=True)
        r = m.setup(FAKE_UPDATE_FAILS="99", FAKE_UNINSTALLABLE="wine32:i386")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(m.read("calls").count("apt-get update"), 3)
        index_lines = [l for l in r.stderr.splitlines() if INDEX in l]
        self.assertEqual(len(index_lines), 1, r.stderr)
        self.assertEqual(m.installed(), self.native | self.full)
        # apt was only asked whether it could, never told to install it.
        self.assertNotRegex(m.read("calls"), r"install -y[^\n]*wine32")
        self.assertIn("32-bit Wine could not be installed (wine32:i386 : Depends: zlib1g:i386", r.stderr)
        self.assertEqual(m.early_line(),
                         "32-bit Wine could not be installed; x86 suites that need execution are skipped")
        # The next run, the same day, does not pay for the retries again.
        r = m.setup(FAKE_UPDATE_FAILS="99", FAKE_UNINSTALLABLE="wine32:i386")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(m.read("calls").count("apt-get update"), 3)
        self.assertIn("32-bit Wine could not be installed", r.stderr)
        # Once Debian can satisfy it (a day later), it is installed.
        os.utime(os.path.join(m.cache, "no-32bit"), (0, 0))
        r = m.setup()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("wine32:i386", m.installed())
        self.assertFalse(os.path.exists(os.path.join(m.cache, "no-32bit")))

    def test_kernel_without_32bit_execution_adds_no_i386(self):
        m = Machine(self.tmp.name, runs_32bit=False)
        r = m.setup()
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertNotIn("add-architecture", m.read("calls"))
        self.assertNotIn("wine32", m.read("calls"))
        self.assertEqual(m.installed(), self.native | self.full)
        self.assertEqual(m.early_line(),
                         "this machine does not run 32-bit programs; x86 suites that need execution are skipped")

    def test_any_other_uninstallable_package_fails_naming_it(self):
        m = Machine(self.tmp.name, runs_32bit=False, installed=["cmake"])
        r = m.setup(FAKE_UNINSTALLABLE="libaxis-java")
        self.assertNotEqual(r.returncode, 0)
        self.assertIn("cannot install libaxis-java: libaxis-java : Depends:", r.stderr)
        self.assertIn("set-up failed: cannot install libaxis-java", r.stderr)

    def test_native_profile_installs_no_windows_tooling(self):
        m = Machine(self.tmp.name, runs_32bit=True)
        r = m.setup("native")
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertEqual(m.installed(), self.native)
        self.assertFalse({"wine", "wine64", "default-jdk-headless"} & self.native)
        self.assertFalse(any(p.startswith(("g++-mingw", "wine")) for p in self.native))
        self.assertNotIn("dpkg --add-architecture", m.read("calls"))


if __name__ == "__main__":
    unittest.main(verbosity=2)
