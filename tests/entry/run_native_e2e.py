#!/usr/bin/env python3
"""The shipped library end to end natively: `torvane-host run` loads
libTorvane.so and calls DoWork; the test plays the user (through the
scripted UI's live script) and the hardware (the stand-in secure-disk
library's disks, drive folders that come and go), and checks what the
stand-in server received, the operation log and the stand-in's calls.

    run_native_e2e.py REPORT.xml|- HOST LIBTORVANE LIBSELVIK
"""
import os
import shutil
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "demo"))
import stage  # noqa: E402
from checks import (ORDINARY_DISK, Checks, admitted_disk, no_events_after_removal,  # noqa: E402
                    idle_wakeups, ordinary_disk_handled)
from host_run import HostRun  # noqa: E402

check = Checks("entry_run_e2e")


def scenario(work, host_bin, lib, selvik):
    host_dir = os.path.join(work, "host")
    os.makedirs(host_dir)
    stage.copy_into(host_dir, host_bin, lib, selvik)
    server = stage.Server(os.path.join(work, "server"))
    try:
        stage.write_config(host_dir, server.url)
        sim = os.path.join(work, "disks.sim")
        stage.write_sim(sim, {})
        # A disk's folder is its mount point while plugged in, and is moved
        # aside (its files kept) while pulled out.
        disk_e, disk_f = os.path.join(work, "disk-e"), os.path.join(work, "disk-f")
        os.makedirs(disk_e)
        os.makedirs(disk_f)
        mnt_e, mnt_f, mnt_g = os.path.join(work, "mnt-e"), os.path.join(work, "mnt-f"), os.path.join(work, "mnt-g")
        os.makedirs(mnt_g)  # the ordinary disk's mount point
        state = os.path.join(work, "state")
        env = dict(os.environ, SELVIK_SIM=sim, TORVANE_STATE_DIR=state)
        run = HostRun(os.path.join(host_dir, "torvane-host"),
                      ["--timestamps", "--drive", "e=" + mnt_e, "--drive", "f=" + mnt_f, "--drive", "g=" + mnt_g],
                      env)
        try:
            drive(run, server, sim, host_dir, state, (disk_e, mnt_e), (disk_f, mnt_f))
        finally:
            code = run.stop()
            check("a quit message ends DoWork with 0",
                  code == 0 and any("DoWork returned 0" in e for e in run.errors),
                  "exit %r, %s" % (code, run.errors[-3:]))
            reports = [e for e in run.errors if "Sanitizer" in e or "runtime error" in e]
            check("the host and the library ran clean under the sanitizers", not reports, "\n".join(run.errors))
            print("\n".join(run.lines[-80:]))
    finally:
        server.stop()


def plug(folder, mount):
    os.rename(folder, mount)


def unplug(folder, mount):
    os.rename(mount, folder)


def drive(run, server, sim, host_dir, state, e, f):
    check("the window starts hidden at 0,0 with size 0x0", run.wait_for("8000 show 0,0 0x0"))
    check("the window runs its first pass", stage.wait_calls(sim, "VX_GetUsbStorageDriver"))

    # Enter, Escape and the close command leave the window running.
    run.send("enter", "close")
    check("Enter and Escape reach the window", run.wait_for("8000 press 1") and run.wait_for("8000 close"))

    # A classified disk arrives; the password dialog opens on a scan thread.
    stage.write_sim(sim, {"e": stage.DISK_E})
    plug(*e)
    run.send("arrive volume")
    check("an arrival opens the password dialog", run.wait_for("dialog 8001 open"))
    # Another arrival while the dialog is up brings no second dialog.
    run.send("arrive 5")
    check("the window takes the second arrival", run.wait_for("8000 arrive type 5"))
    # An ordinary disk plugged in meanwhile, with the one arrival the system
    # sends, is handled as soon as the dialog's pass ends.
    stage.add_drive(sim, "g", ORDINARY_DISK)
    run.send("arrive volume")
    check("the window takes the ordinary disk's arrival", run.wait_for("8000 arrive type 2", times=2))
    time.sleep(1.0)
    check("no second password dialog", run.count("dialog 8001 open") == 1)
    check("the ordinary disk waits while the pass runs",
          "VX_OpenUDisk g" not in stage.read_gbk(sim + ".calls"))

    run.send("type 8001 pass0000", "press 1", "box", "type 8001 pass1234", "press 1")
    check("a wrong password is refused in a box", run.wait_for("\"口令错误,请重新输入!\""))
    check("the right password opens the disk", run.wait_for("dialog 8001 end 1", timeout=15))
    ordinary_disk_handled(check, server, sim, os.path.join(host_dir, "usboperror.log"), "g", time.time())
    admitted_disk(check, server, sim, e[1], "e", settle=1.0)
    # With the missed disk handled and the disk at e watched, no thread of
    # the library wakes while nothing happens.
    time.sleep(1.0)
    woken = idle_wakeups(run.process.pid, 3.0)
    check("no thread of the library wakes while idle", not woken, "context switches per thread: %r" % woken)

    # The disk is pulled out: the audit stops and the slot is re-armed.
    unplug(*e)
    stage.set_mask(sim, 0)
    run.send("remove e")
    check("the removal reaches the window", run.wait_for("8000 remove 0x10 type 2"))
    time.sleep(0.5)
    no_events_after_removal(check, server, e[0], wait=1.5)

    # Plugged in again within 20 s: taken for a re-insert, left alone.
    plug(*e)
    stage.set_mask(sim, None)
    run.send("arrive volume")
    check("the re-arrival reaches the window", run.wait_for("8000 arrive type 2", times=3))
    time.sleep(1.5)
    inserted = sum(1 for t in server.texts() if "插入了涉密优盘(盘符:e" in t)
    check("a re-insert within 20 s brings no report and no dialog",
          inserted == 1 and run.count("dialog 8001 open") == 1, "%d reports" % inserted)

    # While the suspend atom exists, passes do nothing: another disk at f
    # stays unhandled until the atom is gone.
    atoms = os.path.join(state, "atoms")
    os.makedirs(atoms, exist_ok=True)
    atom = os.path.join(atoms, stage.SUSPEND_ATOM)
    open(atom, "w").close()
    plug(*f)
    stage.add_drive(sim, "f", stage.DISK_F)
    run.send("arrive volume")
    check("the suspended arrival reaches the window", run.wait_for("8000 arrive type 2", times=4))
    time.sleep(1.5)
    check("a suspended pass does nothing",
          run.count("dialog 8001 open") == 1 and not any("盘符:f" in t for t in server.texts()))
    os.remove(atom)
    run.send("arrive volume")
    check("without the atom the disk at f is handled", run.wait_for("dialog 8001 open", times=2))
    run.send("close")
    check("its dialog is cancelled", run.wait_for("dialog 8001 end 2"))

    # What the library left behind.
    log = stage.read_gbk(os.path.join(host_dir, "usboperror.log"))
    check("the operation log has the refused try", "口令错误 VX_TryUserPasswd code: 1" in log, log[-400:])
    saves = stage.read_gbk(sim + ".calls").count("VX_SaveAuthList")
    check("still one use consumed at the end", saves == 1, "%d saves" % saves)


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    report, host_bin, lib, selvik = sys.argv[1:]
    work = tempfile.mkdtemp(prefix="torvane-e2e-")
    try:
        scenario(work, host_bin, lib, selvik)
    except Exception as e:  # a broken scenario is a failed check, not a crash
        check("scenario ran", False, repr(e))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    sys.exit(check.finish(report))


if __name__ == "__main__":
    main()
