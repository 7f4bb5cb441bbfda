"""`torvane-host run` natively, fed a live UI script on its standard input,
with its transcript collected line by line as it comes."""
import os
import subprocess
import threading
import time


class HostRun:
    def __init__(self, host, args, env):
        self.lines = []
        self.errors = []
        self.cond = threading.Condition()
        self.process = subprocess.Popen([host, "run", "--script", "-"] + args, env=env,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        threading.Thread(target=self._collect, args=(self.process.stdout, self.lines),
                         daemon=True).start()
        threading.Thread(target=self._collect, args=(self.process.stderr, self.errors),
                         daemon=True).start()

    def _collect(self, stream, into):
        for raw in stream:
            with self.cond:
                into.append(raw.decode("utf-8", "replace").rstrip("\n"))
                self.cond.notify_all()

    def send(self, *steps):
        for step in steps:
            self.process.stdin.write((step + "\n").encode("utf-8"))
        self.process.stdin.flush()

    def count(self, text):
        with self.cond:
            return sum(1 for line in self.lines if text in line)

    def wait_for(self, text, timeout=15, times=1):
        """Waits until `text` is in `times` transcript lines; False on time-out."""
        deadline = time.time() + timeout
        with self.cond:
            while sum(1 for line in self.lines if text in line) < times:
                left = deadline - time.time()
                if left <= 0:
                    return False
                self.cond.wait(min(left, 0.2))
        return True

    def stop(self, timeout=20):
        """Ends the script (a quit step), then waits for the host to exit."""
        try:
            self.send("quit")
            self.process.stdin.close()
        except (BrokenPipeError, ValueError):
            pass
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return None
