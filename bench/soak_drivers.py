"""The soak's two backends: `torvane-host run` natively with the scripted UI,
and `torvane-host.exe run` under Wine with real windows driven by the UI
driver. Each plugs and pulls the disk, answers the password dialog and
samples the host process."""
import collections
import os
import re
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(ROOT, "tools", "demo"))
import stage  # noqa: E402
from host_run import HostRun  # noqa: E402

WINE = os.environ.get("TORVANE_WINE") or os.path.join(ROOT, "scripts", "wine-exec")
PASSWORD_TITLE = "请输入口令"


def proc_sample(pid, idle_seconds):
    """What /proc tells of process `pid`: threads, open files, private memory
    (KiB) and its threads' context switches per second over `idle_seconds`.

    Private memory is the pages the process has written (Private_Dirty), as
    Windows counts private bytes. Clean private pages are code and data of
    binaries that only this process maps: they come and go as the kernel
    reads them in and reclaims them, and are no growth of the process."""
    def switches():
        total = {}
        for tid in os.listdir("/proc/%d/task" % pid):
            try:
                with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                    total[tid] = sum(int(line.split()[1]) for line in f
                                     if line.startswith(("voluntary_ctxt", "nonvoluntary_ctxt")))
            except OSError:
                pass
        return total

    before = switches()
    time.sleep(idle_seconds)
    after = switches()
    woken = sum(after[t] - before.get(t, 0) for t in after)
    private = 0
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith("Private_Dirty:"):
                private += int(line.split()[1])
    return {"threads": len(after), "files": len(os.listdir("/proc/%d/fd" % pid)),
            "private": private, "wakeups": woken / idle_seconds}


def dirty_by_kind(pid, regions):
    """Private_Dirty (KiB) of process `pid` by the kind of the (start, size,
    kind) region each mapping lies in; "" for none."""
    totals = collections.Counter()
    span = None
    with open("/proc/%d/smaps" % pid) as f:
        for line in f:
            m = re.match(r"([0-9a-f]+)-([0-9a-f]+) ", line)
            if m:
                span = (int(m.group(1), 16), int(m.group(2), 16))
            elif line.startswith("Private_Dirty:") and span:
                kind = next((k for start, size, k in regions if start < span[1] and span[0] < start + size), "")
                totals[kind] += int(line.split()[1])
    return totals


def store_records(tool, path, launcher=(), local=None):
    """How many records the warning store holds (0 without a store)."""
    if not os.path.exists(local or path):
        return 0
    out = subprocess.run(list(launcher) + [tool, "check", path], capture_output=True, timeout=120)
    m = re.search(rb"ok, (\d+) records", out.stdout)
    if not m:
        raise RuntimeError("the store does not read: %r" % (out.stdout + out.stderr))
    return int(m.group(1))


class NativeDriver:
    settle = 1.0  # the disk's watch starts shortly after the use is consumed

    def __init__(self, work, build, url):
        self.build = build
        self.host_dir = os.path.join(work, "host")
        os.makedirs(self.host_dir)
        stage.copy_into(self.host_dir, os.path.join(build, "tools", "torvane-host"),
                        os.path.join(build, "libTorvane.so"),
                        os.path.join(build, "tools", "selvik", "libSelvik.so"))
        stage.write_config(self.host_dir, url)
        self.sim = os.path.join(work, "disks.sim")
        stage.write_sim(self.sim, {})
        self.pulled = os.path.join(work, "disk-e")
        self.mount = os.path.join(work, "mnt-e")
        os.makedirs(self.pulled)
        self.env = dict(os.environ, SELVIK_SIM=self.sim, TORVANE_STATE_DIR=os.path.join(work, "state"))
        self.run = None
        self.earlier = []  # the last lines of the cycles before, for errors

    @property
    def folder(self):
        return self.mount if os.path.isdir(self.mount) else self.pulled

    def start(self):
        self.run = HostRun(os.path.join(self.host_dir, "torvane-host"), ["--drive", "e=" + self.mount],
                           self.env)
        if not self.run.wait_for("8000 show 0,0 0x0", 20) or not stage.wait_calls(
                self.sim, "VX_GetUsbStorageDriver"):
            raise RuntimeError("the library did not start: %s" % self.run.errors)

    def plug(self, disk, n):
        stage.write_sim(self.sim, {"e": disk})
        os.rename(self.pulled, self.mount)
        self.run.send("arrive volume")

    def unlock(self, password, n):
        if not self.run.wait_for("dialog 8001 open", 30):
            raise RuntimeError("cycle %d: no password dialog; the host printed last: %r" % (
                n, self.earlier + self.run.lines))
        self.run.send("type 8001 " + password, "press 1")
        if not self.run.wait_for("dialog 8001 end 1", 30):
            raise RuntimeError("cycle %d: the password dialog did not end" % n)

    def pull(self, n):
        os.rename(self.mount, self.pulled)
        stage.set_mask(self.sim, 0)
        self.run.send("remove e")
        if not self.run.wait_for("8000 remove", 30):
            raise RuntimeError("cycle %d: the removal was not taken" % n)
        # Only the new lines matter from here on: the transcript stays short.
        with self.run.cond:
            self.earlier = (self.earlier + self.run.lines + ["(cycle %d ends)" % n])[-40:]
            self.run.lines[:] = []

    def stored(self):
        return store_records(os.path.join(self.build, "tools", "store", "torvane-store"),
                             os.path.join(self.host_dir, "info2.sys"))

    def sample(self, idle_seconds):
        return proc_sample(self.run.process.pid, idle_seconds)

    def stop(self):
        if self.run:
            self.run.stop()


class WineDriver:
    settle = 1.5
    letter = "m"

    def __init__(self, work, build, url, signal_exe, driver_exe, counts_exe):
        self.signal_exe, self.driver_exe, self.counts_exe = signal_exe, driver_exe, counts_exe
        self.build = build
        self.host_dir = os.path.join(work, "host")
        os.makedirs(self.host_dir)
        stage.copy_into(self.host_dir, os.path.join(build, "tools", "torvane-host.exe"),
                        os.path.join(build, "Torvane.dll"), os.path.join(build, "tools", "selvik", "Selvik.dll"))
        stage.write_config(self.host_dir, url)
        self.sim = os.path.join(work, "disks.sim")
        stage.write_sim(self.sim, {})
        self.folder = os.path.join(work, "disk-m")
        os.makedirs(self.folder)
        self.link = os.path.join(os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")), "dosdevices",
                                 self.letter + ":")
        self.saved = os.readlink(self.link) if os.path.islink(self.link) else None
        self.env = dict(os.environ, SELVIK_SIM="Z:" + self.sim.replace("/", "\\"))
        self.process = None
        self.errors = collections.deque(maxlen=200)  # the host's last lines
        self.tid = None

    def _wine(self, exe, *args, timeout=120):
        out = subprocess.run([WINE, exe] + list(args), capture_output=True, timeout=timeout, env=self.env)
        return out.returncode, out.stdout.decode("utf-8", "replace") + out.stderr.decode("utf-8", "replace")

    def _signal(self, n, *args):
        """device_signal ARGS; a failure ends the soak with what the host said last."""
        rc, out = self._wine(self.signal_exe, *args)
        if rc != 0:
            raise RuntimeError("cycle %d: device_signal %s: %s%s" % (n, " ".join(args), out, self._last_lines()))

    def _last_lines(self):
        return "\nthe host printed last:\n  " + "\n  ".join(list(self.errors)[-20:])

    def start(self):
        self.process = subprocess.Popen([WINE, os.path.join(self.host_dir, "torvane-host.exe"), "run"],
                                        env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE)
        threading.Thread(target=self._collect, daemon=True).start()
        deadline = time.time() + 60
        while time.time() < deadline and not self.tid:
            for line in list(self.errors):
                m = re.search(r"DoWork running on thread (\d+)", line)
                if m and m.group(1) != "0":
                    self.tid = m.group(1)
            time.sleep(0.1)
        if not self.tid or not stage.wait_calls(self.sim, "VX_GetUsbStorageDriver", timeout=60):
            raise RuntimeError("the library did not start: %s" % self.errors)

    def _collect(self):
        for raw in self.process.stderr:
            self.errors.append(raw.decode("utf-8", "replace").rstrip())

    def mask(self):
        return "0x%X" % (1 << (ord(self.letter) - ord("a")))

    def plug(self, disk, n):
        stage.write_sim(self.sim, {self.letter: disk})
        if os.path.islink(self.link):
            os.unlink(self.link)
        os.symlink(self.folder, self.link)
        self._signal(n, "arrive", self.tid, self.mask())

    def unlock(self, password, n):
        steps = ("--timeout", "30000", "dialog", PASSWORD_TITLE, "type", "8001", password, "click", "1", "gone")
        rc, out = self._wine(self.driver_exe, *steps)
        if rc != 0 and not out.strip():
            # The UI driver printed nothing, not even why: it did not get to
            # run (seen once in 5,000 cycles on a loaded machine). The dialog
            # still waits, so it is driven once more.
            rc, out = self._wine(self.driver_exe, *steps)
        if rc != 0:
            raise RuntimeError("cycle %d: the password dialog (UI driver exit %d): %s%s" % (
                n, rc, out, self._last_lines()))
        # The use consumed is told in a notice box; the watch starts once it
        # is answered. A box left open would hold the next cycle's pass, so
        # it is waited for (device_signal waits 10 s a call) for up to 60 s.
        for _ in range(6):
            rc, out = self._wine(self.signal_exe, "box", "提示")
            if rc == 0:
                return
        raise RuntimeError("cycle %d: no notice box after the password: %s%s" % (n, out, self._last_lines()))

    def pull(self, n):
        if os.path.islink(self.link):
            os.unlink(self.link)
        stage.set_mask(self.sim, 0)
        self._signal(n, "remove", self.tid, self.mask())

    def stored(self):
        exe = os.path.join(self.build, "tools", "store", "torvane-store.exe")
        return store_records(exe, "Z:" + os.path.join(self.host_dir, "info2.sys").replace("/", "\\"),
                             [WINE], os.path.join(self.host_dir, "info2.sys"))

    def sample(self, idle_seconds):
        """Counts as on Windows. Private memory is what the process has
        written in its private committed regions (heaps, stacks; process_counts
        lists them): what Windows counts as its private bytes. Wine copies
        its own system libraries into the process, so their image pages are
        written too; they are bounded by the images' size and not counted.
        What Wine's Unix side writes for itself, outside every Windows region
        (the X client's connection for each thread that opens a window, font
        caches, in the C library's heaps), stands for the window system,
        which on Windows is not in the process: it is shown apart as
        "wine unix"."""
        # The Linux process that runs torvane-host.exe (wine-exec execs the loader).
        r = proc_sample(self.process.pid, idle_seconds)
        del r["files"]
        rc, out = self._wine(self.counts_exe, "torvane-host.exe")
        keys = ("handles", "user", "gdi", "windows", "threads_seen", "lock_events")
        m = re.search(r"handles (\d+) user (\d+) gdi (\d+) windows (\d+) threads (\d+) unnamed-events (\d+)", out)
        r.update(dict(zip(keys, (int(x) for x in m.groups()))) if m and rc == 0 else dict.fromkeys(keys, -1))
        del r["threads_seen"]
        c = re.search(r"^committed((?: [0-9a-f]+ [0-9a-f]+ [pim])+)\s*$", out, re.M)
        if rc != 0 or not c:
            raise RuntimeError("process_counts: %s" % out)
        words = c.group(1).split()
        regions = [(int(words[i], 16), int(words[i + 1], 16), words[i + 2]) for i in range(0, len(words), 3)]
        dirty = dirty_by_kind(self.process.pid, regions)
        r["private"], r["unix"] = dirty["p"], dirty[""]
        return r

    def stop(self):
        if self.process and self.process.poll() is None:
            self._wine(self.signal_exe, "quit", self.tid or "0")
            try:
                self.process.wait(30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if os.path.islink(self.link):
            os.unlink(self.link)
        if self.saved:
            os.symlink(self.saved, self.link)
