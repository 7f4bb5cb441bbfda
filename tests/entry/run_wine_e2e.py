#!/usr/bin/env python3
"""The shipped Torvane.dll end to end under Wine (code page 936, real
windows): `torvane-host.exe run` loads it from a host directory and calls
DoWork; the test sends the hidden device watch window real WM_DEVICECHANGE
broadcasts (device_signal.exe), drives the real password dialog with the UI
driver (torvane-uidriver.exe), writes files on a Wine drive letter mapped to
a temporary folder, and checks the stand-in server's record, the operation
log and the stand-in secure-disk library's calls.

    run_wine_e2e.py BUILD_DIR DEVICE_SIGNAL UIDRIVER
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "demo"))
import stage  # noqa: E402
from checks import (ORDINARY_DISK, Checks, admitted_disk, no_events_after_removal,  # noqa: E402
                    ordinary_disk_handled)

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-exec")

check = Checks("entry_wine_e2e")
PASSWORD_TITLE = "请输入口令"
LETTERS = ("m", "n", "o")  # drive letters the test maps; left as they were


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


class WineHost:
    """torvane-host.exe run, its standard error collected as it comes."""

    def __init__(self, exe, env):
        self.errors = []
        self.process = subprocess.Popen([WINE, exe, "run"], env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        threading.Thread(target=self._collect, daemon=True).start()

    def _collect(self):
        for raw in self.process.stderr:
            self.errors.append(raw.decode("utf-8", "replace").rstrip())

    def thread(self, timeout=60):
        deadline = time.time() + timeout
        while time.time() < deadline:
            for line in self.errors:
                m = re.search(r"DoWork running on thread (\d+)", line)
                if m and m.group(1) != "0":
                    return m.group(1)
            if self.process.poll() is not None:
                break
            time.sleep(0.1)
        return None

    def returned(self):
        return any("DoWork returned 0" in e for e in self.errors)


class Drives:
    """Wine drive letters pointed at folders through the prefix's dosdevices."""

    def __init__(self):
        self.dosdevices = os.path.join(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")), "dosdevices")
        self.saved = {l: os.readlink(self.link(l)) if os.path.islink(self.link(l)) else None for l in LETTERS}

    def link(self, letter):
        return os.path.join(self.dosdevices, letter + ":")

    def plug(self, letter, folder):
        self.pull(letter)
        os.symlink(folder, self.link(letter))

    def pull(self, letter):
        if os.path.islink(self.link(letter)):
            os.unlink(self.link(letter))

    def restore(self):
        for letter, target in self.saved.items():
            self.pull(letter)
            if target:
                os.symlink(target, self.link(letter))


def mask(letter):
    return "0x%X" % (1 << (ord(letter) - ord("a")))


def scenario(work, build, signal_exe, driver_exe):
    host_dir = os.path.join(work, "host")
    os.makedirs(host_dir)
    stage.copy_into(host_dir, os.path.join(build, "tools", "torvane-host.exe"), os.path.join(build, "Torvane.dll"),
                    os.path.join(build, "tools", "selvik", "Selvik.dll"))
    server = stage.Server(os.path.join(work, "server"))
    drives = Drives()
    host = None
    try:
        stage.write_config(host_dir, server.url)
        sim = os.path.join(work, "disks.sim")
        stage.write_sim(sim, {})
        disks = {l: os.path.join(work, "disk-" + l) for l in LETTERS}
        for d in disks.values():
            os.makedirs(d)
        env = dict(os.environ, SELVIK_SIM=windows_path(sim))
        # Every exception the host's process raises is traced, so that one
        # caught and survived is seen as well.
        host = WineHost(os.path.join(host_dir, "torvane-host.exe"), dict(env, WINEDEBUG="-all,+seh"))
        tid = host.thread()
        if not check("DoWork runs on a thread of the host", tid is not None, "\n".join(host.errors)):
            return

        def signal(*args):
            return subprocess.run([WINE, signal_exe] + list(args), capture_output=True, timeout=60).returncode

        def drive(*steps, timeout=20000):
            out = subprocess.run([WINE, driver_exe, "--timeout", str(timeout)] + list(steps),
                                 capture_output=True, timeout=120)
            return out.returncode, out.stdout.decode("utf-8", "replace") + out.stderr.decode("utf-8", "replace")

        def dialogs():
            out = subprocess.run([WINE, signal_exe, "count", PASSWORD_TITLE], capture_output=True, timeout=60)
            return int(out.stdout or b"-1")

        check("the window runs its first pass", stage.wait_calls(sim, "VX_GetUsbStorageDriver", timeout=60))
        check("the hidden window is shown at 0,0 with size 0x0 as a tool window (no task-bar button)",
              signal("place", tid) == 0)

        # Device broadcasts anyone can send: events without data and a
        # number for it, and a removal whose header is too short for a
        # volume, leave the window running with no exception raised.
        for event, data in (("0x7", "0x41414141"), ("0x18", "0x10"), ("0x8006", "0x41414141")):
            signal("post", tid, event, data)
        signal("remove", tid, mask("m"), "8")  # shorter than any header: the system may drop it
        check("a removal whose header is too short for a volume is taken",
              signal("remove", tid, mask("m"), "12") == 0)
        time.sleep(1.0)
        faults = [e for e in host.errors if re.search(r"c0000005|page fault", e, re.I)]
        check("foreign device broadcasts raise no exception and leave the window running",
              not faults and signal("alive", tid) == 0 and host.process.poll() is None,
              "\n".join(faults[:5]) or "window gone")

        # Enter, Escape and the close command leave DoWork running.
        signal("key", tid, "enter")
        signal("key", tid, "escape")
        signal("close", tid)
        time.sleep(1.0)
        check("Enter, Escape and WM_CLOSE leave DoWork running",
              signal("alive", tid) == 0 and host.process.poll() is None and not host.returned())

        # A classified disk arrives at m:.
        m = "m"
        stage.write_sim(sim, {m: stage.DISK_E})
        drives.plug(m, disks[m])
        check("the arrival broadcast is taken", signal("arrive", tid, mask(m)) == 0)
        rc, out = drive("dialog", PASSWORD_TITLE, "8001,1,2")
        if not check("the arrival opens the password dialog", rc == 0, out):
            return
        check("the second arrival is taken", signal("arrive", tid, "0", "5") == 0)
        # An ordinary disk plugged in meanwhile, with the one arrival the
        # system sends: handled as soon as the pass of the dialog ends.
        o = "o"
        stage.add_drive(sim, o, ORDINARY_DISK)
        drives.plug(o, disks[o])
        check("the ordinary disk's arrival is taken", signal("arrive", tid, mask(o)) == 0)
        time.sleep(1.5)
        check("an arrival while the dialog is open brings no second dialog", dialogs() == 1)
        check("the ordinary disk waits while the pass runs",
              "VX_OpenUDisk o" not in stage.read_gbk(sim + ".calls"))
        rc, out = drive("dialog", PASSWORD_TITLE, "type", "8001", "pass0000", "click", "1", "box",
                        "type", "8001", "pass1234", "click", "1", "gone")
        check("a wrong password is refused in a box, the right one opens the disk",
              rc == 0 and "口令错误,请重新输入!" in out, out)
        # The scan pass tells of the use consumed in a notice box of its own;
        # the watch starts once it is answered.
        box = subprocess.run([WINE, signal_exe, "box", "提示"], capture_output=True, timeout=60)
        check("the use consumed is told in a notice box",
              box.returncode == 0 and "减少一次授权在该安全域上的使用次数" in box.stdout.decode("utf-8", "replace"),
              box.stdout + box.stderr)
        ordinary_disk_handled(check, server, sim, os.path.join(host_dir, "usboperror.log"), o, time.time())
        folder = disks[m]
        admitted_disk(check, server, sim, folder, m, settle=1.5)

        # Pulled out: the removal stops the audit and re-arms the slot.
        drives.pull(m)
        stage.set_mask(sim, 0)
        check("the removal broadcast is taken", signal("remove", tid, mask(m)) == 0)
        time.sleep(1.0)
        no_events_after_removal(check, server, folder, wait=2.0)

        # Plugged in again within 20 s: a re-insert, left alone.
        drives.plug(m, folder)
        stage.set_mask(sim, None)
        signal("arrive", tid, mask(m))
        time.sleep(2.0)
        inserted = sum(1 for t in server.texts() if "插入了涉密优盘(盘符:m" in t)
        check("a re-insert within 20 s brings no report and no dialog", inserted == 1 and dialogs() == 0,
              "%d reports" % inserted)

        # The suspend atom: passes do nothing while it exists.
        n = "n"
        signal("atom", "add", stage.SUSPEND_ATOM)
        stage.add_drive(sim, n, stage.DISK_F)
        drives.plug(n, disks[n])
        signal("arrive", tid, mask(n))
        time.sleep(2.0)
        check("a suspended pass does nothing",
              dialogs() == 0 and not any("盘符:n" in t for t in server.texts()))
        signal("atom", "delete", stage.SUSPEND_ATOM)
        signal("arrive", tid, mask(n))
        rc, out = drive("dialog", PASSWORD_TITLE, "click", "2", "gone")
        check("without the atom the next arrival is handled", rc == 0, out)

        # A quit message to the thread ends DoWork with 0.
        check("the quit message is posted", signal("quit", tid) == 0)
        try:
            code = host.process.wait(30)
        except subprocess.TimeoutExpired:
            code = None
        time.sleep(0.2)
        check("a quit message ends DoWork with 0", code == 0 and host.returned(), "exit %r: %s" % (code, host.errors))

        log = stage.read_gbk(os.path.join(host_dir, "usboperror.log"))
        check("the operation log has the refused try", "口令错误 VX_TryUserPasswd code: 1" in log, log[-400:])
    finally:
        if host and host.process.poll() is None:
            host.process.kill()
        drives.restore()
        server.stop()


def stop_request(work, build):
    """The host's own stop (--seconds): it posts the quit message itself."""
    host_dir = os.path.join(work, "stop")
    os.makedirs(host_dir)
    stage.copy_into(host_dir, os.path.join(build, "tools", "torvane-host.exe"), os.path.join(build, "Torvane.dll"))
    out = subprocess.run([WINE, os.path.join(host_dir, "torvane-host.exe"), "run", "--seconds", "3"],
                         capture_output=True, timeout=120)
    err = out.stderr.decode("utf-8", "replace")
    check("torvane-host run --seconds stops DoWork through a quit message",
          out.returncode == 0 and "DoWork returned 0" in err, err)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    build, signal_exe, driver_exe = sys.argv[1:]
    work = tempfile.mkdtemp(prefix="torvane-wine-e2e-")
    try:
        stop_request(work, build)
        scenario(work, build, signal_exe, driver_exe)
    except Exception as e:  # a broken scenario is a failed check, not a crash
        check("scenario ran", False, repr(e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(check.finish())


if __name__ == "__main__":
    main()
