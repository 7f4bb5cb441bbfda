#!/usr/bin/env python3
"""A first run of the shipped library, end to end, on this machine.

    demo.py BUILD_DIR [--https] [--remove]

Starts the stand-in management server on loopback, lays out a host directory
as a deployment does (the library, the stand-in secure-disk library, the
suite's three configuration files), runs `torvane-host run`, which loads the
library and calls DoWork, then plugs in a simulated classified disk. The
user's part (the password dialog: a wrong password, then the right one) is
played by the scripted UI. A file is written on the unlocked disk. Then it
prints what the user saw, what the server received and the operation log,
and says where everything is (kept for a look afterwards, unless --remove).
Everything it started is stopped.

With --https the server speaks TLS with a certificate from a CA made for
the run, which no machine trusts: the library is given its key's pin
(WebCertPin) and the events go encrypted.
"""
import os
import shutil
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import stage  # noqa: E402
from host_run import HostRun  # noqa: E402

WINDOWS = {"8000": "device watch window (hidden)", "8001": "password dialog",
           "8002": "change-password dialog", "8003": "warning box"}


def heading(text):
    print("\n== %s" % text)


def wait_texts(server, text, timeout):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if any(text in t for t in server.texts()):
            return True
        time.sleep(0.1)
    return False


def describe(line):
    """A transcript line as the user saw it, or None for the window's own
    bookkeeping."""
    body = line.split("] ", 1)[-1]
    words = body.split(" ")
    if words[0] == "dialog" and len(words) >= 3:
        name = WINDOWS.get(words[1], "dialog " + words[1])
        if words[2] == "open":
            return "%s opens" % name
        return "%s closes (%s)" % (name, {"1": "OK", "2": "cancelled"}.get(words[-1], words[-1]))
    if words[0] == "box":
        # box OWNER "caption" 0xICON "text" -> BUTTON
        caption, _, rest = body.split('"', 2)[1], None, body.split('"', 2)[2]
        text = rest.split('"', 1)[1].rsplit('"', 1)[0]
        return "message box [%s] %s" % (caption, text)
    if len(words) >= 2 and words[0] == "8000" and words[1] in ("arrive", "remove"):
        return "the system announces a device %s" % ("arrival" if words[1] == "arrive" else "removal")
    if len(words) >= 3 and words[0] in WINDOWS and words[1] == "type":
        return "%s: the user types %s" % (WINDOWS[words[0]], words[-1])
    if len(words) >= 3 and words[0] in WINDOWS and words[1] == "press":
        return "%s: the user presses %s" % (WINDOWS[words[0]], {"1": "OK", "2": "Cancel"}.get(words[2], words[2]))
    return None


def main():
    options = sys.argv[2:]
    if len(sys.argv) < 2 or any(o not in ("--https", "--remove") for o in options):
        sys.exit(__doc__)
    https = "--https" in options
    build = os.path.abspath(sys.argv[1])
    start = time.time()
    work = tempfile.mkdtemp(prefix="torvane-demo-")
    host_dir = os.path.join(work, "host")
    os.makedirs(host_dir)
    stage.copy_into(host_dir, os.path.join(build, "tools", "torvane-host"),
                    os.path.join(build, "libTorvane.so"), os.path.join(build, "tools", "selvik", "libSelvik.so"))
    # The disk's folder becomes drive e: when it is plugged in.
    disk = os.path.join(work, "disk-e")
    os.makedirs(disk)
    mount = os.path.join(work, "mnt-e")
    sim = os.path.join(work, "disks.sim")
    stage.write_sim(sim, {})

    server = stage.Server(os.path.join(work, "server"), https=https)
    run = None
    ok = False
    try:
        stage.write_config(host_dir, server.url, pin=server.pin)
        if https:
            print("the server speaks https; kolMera2.ini pins its key: WebCertPin=%s" % server.pin)
        env = dict(os.environ, SELVIK_SIM=sim, TORVANE_STATE_DIR=os.path.join(work, "state"))
        run = HostRun(os.path.join(host_dir, "torvane-host"), ["--timestamps", "--drive", "e=" + mount], env)
        print("torvane-host run: the library is loaded and DoWork runs its device watch window")
        run.wait_for("8000 show 0,0 0x0", 10)
        stage.wait_calls(sim, "VX_GetUsbStorageDriver")  # the window's first pass is done

        print("plugging in a classified disk at e: (owner 张三, password pass1234)")
        stage.write_sim(sim, {"e": stage.DISK_E})
        os.rename(disk, mount)
        run.send("arrive volume")
        if run.wait_for("dialog 8001 open", 15):
            print("the user types a wrong password, then the right one")
            run.send("type 8001 pass0000", "press 1", "box", "type 8001 pass1234", "press 1")
        opened = run.wait_for("dialog 8001 end 1", 15) and wait_texts(server, "减少一次授权", 10)
        if opened:
            time.sleep(1.0)  # the disk's watch starts right after the use is consumed
            print("writing a file on the unlocked disk: e:\\报告.txt")
            with open(os.path.join(mount, "报告.txt"), "w") as fh:
                fh.write("quarterly report\n")
            ok = wait_texts(server, "修改文件：e:\\", 10)
    finally:
        if run:
            run.stop()
        server.stop()

    heading("What the user saw")
    for line in run.lines if run else []:
        seen = describe(line)
        if seen:
            print("  " + seen)

    heading("What the management server received (infoWarn, in order)")
    for i, text in enumerate(server.texts(), 1):
        print("  %2d. %s" % (i, text))

    heading("Operation log (usboperror.log)")
    print("".join("  " + l for l in stage.read_gbk(os.path.join(host_dir, "usboperror.log")).splitlines(True)))

    store = os.path.join(host_dir, "info2.sys")
    heading("Where things are")
    print("  host directory:      %s" % host_dir)
    print("  configuration:       KOLMERA.cfg, id.cfg, kolMera2.ini there (GBK, section KOLMERA)")
    print("  operation log:       %s" % os.path.join(host_dir, "usboperror.log"))
    if os.path.exists(store):
        print("  warning store:       %s (read it: %s dump %s)" % (
            store, os.path.join(build, "tools", "store", "torvane-store"), store))
    else:
        print("  warning store:       %s: not created, the server took every event" % store)
    print("  server's record:     %s (one JSON line per call)" % server.record)
    print("  the disk (drive e:): %s; the stand-in's calls: %s.calls" % (mount, sim))
    print("\n%s in %.1f s; nothing left running." % (
        "A classified disk admitted end to end" if ok else "The run did not complete", time.time() - start))
    if "--remove" in options:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
