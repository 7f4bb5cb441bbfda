"""Named checks of an end-to-end scenario, printed as they are made and
summed up at the end (and written as a JUnit report when asked)."""
import os
import time
import xml.sax.saxutils as su

import stage


class Checks:
    def __init__(self, suite):
        self.suite = suite
        self.results = []

    def __call__(self, name, ok, detail=""):
        self.results.append((name, None if ok else (detail or "failed")))
        print(("ok   " if ok else "FAIL ") + name + ("" if ok else ": " + str(detail)), flush=True)
        return ok

    def finish(self, report="-"):
        """Prints the summary, writes the report (unless "-"); the exit code."""
        failed = [r for r in self.results if r[1]]
        if report != "-":
            with open(report, "w", encoding="utf-8") as f:
                f.write('<testsuite name="%s" tests="%d" failures="%d">\n'
                        % (self.suite, len(self.results), len(failed)))
                for name, failure in self.results:
                    f.write("  <testcase name=%s>" % su.quoteattr(name))
                    if failure:
                        f.write("<failure message=%s/>" % su.quoteattr(failure))
                    f.write("</testcase>\n")
                f.write("</testsuite>\n")
        print("%d passed, %d failed" % (len(self.results) - len(failed), len(failed)))
        return 1 if failed or not self.results else 0


def admitted_disk(check, server, sim, folder, letter, settle):
    """After the password dialog ended with OK on the sample disk at
    `letter`: checks the use consumed, then creates, renames and deletes a
    file in the disk's `folder` and checks that the server received the
    whole admission and the file events, in order. `settle`: seconds the
    platform's watch may take to start after the use is consumed."""
    deadline = time.time() + 20
    while time.time() < deadline and not any("减少一次授权" in t for t in server.texts()):
        time.sleep(0.1)
    time.sleep(settle)
    calls = stage.read_gbk(sim + ".calls")
    check("one authorized use consumed", calls.count("VX_SaveAuthList") == 1, calls[-300:])
    check("the disk keeps 2 uses", "0123456789ABCDEF0123456789ABCDEF 1 2 2" in stage.read_gbk(sim))

    with open(os.path.join(folder, "a.txt"), "w") as fh:
        fh.write("report\n")
    time.sleep(0.5)
    os.rename(os.path.join(folder, "a.txt"), os.path.join(folder, "b.txt"))
    time.sleep(0.5)
    os.remove(os.path.join(folder, "b.txt"))
    root = letter + ":\\"
    wanted = ["插入了涉密优盘(盘符:%s，序列号:0019E06B9C4FF0A1，责任人:张三)。" % letter, "将应用限制域策略",
              "原因密码错误。", "责任人:张三)成功。", "减少一次授权在该安全域上的使用次数", "创建文件：%sa.txt" % root,
              "文件重命名．源文件∶%sa.txt， 目标文件∶%sb.txt．" % (root, root), "删除文件：%sb.txt" % root]
    deadline = time.time() + 20
    while time.time() < deadline and stage.in_order(server.texts(), wanted):
        time.sleep(0.2)
    missing = stage.in_order(server.texts(), wanted)
    check("the server received admission and file events in order", missing is None,
          "missing %r in %r" % (missing, server.texts()))


def no_events_after_removal(check, server, folder, wait):
    """A file written in a pulled disk's folder reaches no one."""
    before = len(server.texts())
    with open(os.path.join(folder, "after.txt"), "w") as fh:
        fh.write("unwatched\n")
    time.sleep(wait)
    check("no file events after the removal", len(server.texts()) == before, repr(server.texts()[before:]))


# An ordinary disk: logged, and opened and reported as GenericUDisk 1 asks.
ORDINARY_DISK = {"vid": "090C", "pid": "1000", "serial": "AA00000000012345", "classified": "0"}


def ordinary_disk_handled(check, server, sim, log_path, letter, since, within=2.0):
    """After the pass that held the progress flag ended at `since` (a
    time.time() value): the ordinary disk plugged in at `letter` meanwhile,
    with one arrival broadcast, is logged, reported and opened within
    `within` seconds, without another broadcast."""
    text = "插入了非涉密优盘 (盘符:%s ，序列号:%s" % (letter, ORDINARY_DISK["serial"])
    opened = "VX_OpenUDisk %s -> 1" % letter
    seen = {}
    deadline = since + within + 3.0  # looked at a while longer, to tell late from never
    while time.time() < deadline and len(seen) < 3:
        now = time.time()
        if os.path.exists(log_path) and text in stage.read_gbk(log_path):
            seen.setdefault("log", now)
        if any(text in t for t in server.texts()):
            seen.setdefault("report", now)
        if os.path.exists(sim + ".calls") and opened in stage.read_gbk(sim + ".calls"):
            seen.setdefault("open", now)
        time.sleep(0.05)
    late = {k: round(v - since, 2) for k, v in seen.items()}
    check("the disk plugged in at %s while a pass ran is logged, reported and opened within %.0f s of its end"
          % (letter, within), len(seen) == 3 and max(late.values()) <= within, "seen after %r s" % late)


def idle_wakeups(pid, seconds):
    """Context switches over `seconds` of each thread of process `pid` but its
    main thread (the host's own, which looks for its stop request now and
    then), where there were any (Linux); None under TSan, whose own thread
    wakes several times a second."""
    with open("/proc/%d/maps" % pid) as f:
        if "libtsan" in f.read():
            return None

    def sample():
        counts = {}
        for tid in os.listdir("/proc/%d/task" % pid):
            if tid == str(pid):
                continue
            try:
                with open("/proc/%d/task/%s/status" % (pid, tid)) as f:
                    counts[tid] = sum(int(line.split()[1]) for line in f if "ctxt_switches" in line)
            except OSError:
                pass  # the thread ended meanwhile
        return counts

    before = sample()
    time.sleep(seconds)
    after = sample()
    return {tid: after[tid] - before.get(tid, 0) for tid in after if after[tid] != before.get(tid, 0)}
