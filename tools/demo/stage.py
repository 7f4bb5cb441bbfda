"""A workstation on one machine: the stand-in management server on loopback,
a host directory laid out as a deployment lays it out, and simulated disks
for the stand-in secure-disk library. Used by the first-run demo and by the
end-to-end tests.
"""
import json
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SUSPEND_ATOM = "{86A32574-31C8-46D9-91F4-1A94CA60D0DF}"
SERVICE_PATH = "/WebDeduRazivor/services/DeduRazivor"

# The classified disk of the samples: its owner is the terminal's user, it is
# authorized for the sample unit and fields with 3 uses left.
DISK_E = {
    "vid": "0951", "pid": "1666", "serial": "0019E06B9C4FF0A1", "classified": "1",
    "owner": "张三", "check_user": "1", "general": "0",
    "auth": "0123456789ABCDEF0123456789ABCDEF 1 3 2 0x0000000E",
    "password": "pass1234", "try_limit": "3",
}
# Another classified disk, registered to the same user.
DISK_F = dict(DISK_E, serial="00AB77C01D2E3F40", pid="1667", password="word5678")


class Server:
    """dedu_server.py on a free loopback port, recording every call."""

    def __init__(self, folder, extra=(), https=False):
        """`https`: serves TLS with a certificate from a throwaway CA made in
        `folder`; `pin` is then its key's pin for WebCertPin."""
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        self.pin = None
        if https:
            sys.path.insert(0, os.path.join(ROOT, "tools", "server"))
            import tls_certs
            tls_certs.make_ca(folder)
            chain, key = tls_certs.make_leaf(folder, "server", "DNS:localhost,IP:127.0.0.1")
            self.pin = tls_certs.spki_pin(os.path.join(folder, "server.pem"))
            extra = list(extra) + ["--tls-cert", chain, "--tls-key", key]
        self.record = os.path.join(folder, "calls.jsonl")
        self._read = 0  # bytes of the record already read into _texts
        self._texts = []
        port_file = os.path.join(folder, "port")
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(ROOT, "tools", "server", "dedu_server.py"),
             "--port-file", port_file, "--record", self.record] + list(extra),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.time() + 20
        while not os.path.exists(port_file):
            if self.process.poll() is not None or time.time() > deadline:
                self.stop()
                raise RuntimeError("the stand-in server did not start")
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read())
        self.url = "%s://127.0.0.1:%d%s" % ("https" if https else "http", self.port, SERVICE_PATH)

    def texts(self):
        """The event texts received so far, in order. Only the whole lines
        recorded since the last call are read, so polling stays cheap over
        thousands of events."""
        if os.path.exists(self.record):
            with open(self.record, "rb") as f:
                f.seek(self._read)
                tail = f.read()
            whole = tail[:tail.rfind(b"\n") + 1]
            self._read += len(whole)
            for line in whole.decode("utf-8").split("\n")[:-1]:
                params = json.loads(line).get("params") or {}
                if isinstance(params, dict):
                    self._texts.append(params.get("memos") or "")
                elif len(params) > 2:
                    self._texts.append(params[2] or "")
        return list(self._texts)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def write_ini(path, values):
    """One "KOLMERA" section, GBK, CR LF, as the suite writes it."""
    text = "[KOLMERA]\r\n" + "".join("%s=%s\r\n" % kv for kv in values.items())
    with open(path, "wb") as f:
        f.write(text.encode("gbk"))


def write_config(host_dir, web_address, audit=1, pin=None):
    write_ini(os.path.join(host_dir, "KOLMERA.cfg"),
              {"UfileAudit": audit, "GenericUDisk": 1, "User": "张三"})
    write_ini(os.path.join(host_dir, "id.cfg"),
              {"General": 0, "UNITID": "0123456789ABCDEF0123456789ABCDEF", "FIELDID": "0006",
               "UID": "WS-0042"})
    settings = {"reg": 1, "WebAddress": web_address}
    if pin:
        settings["WebCertPin"] = pin
    write_ini(os.path.join(host_dir, "kolMera2.ini"), settings)


def write_sim(path, drives):
    """The stand-in library's disks: {letter: fields}."""
    lines = []
    for letter, fields in sorted(drives.items()):
        lines.append("[drive %s]" % letter)
        lines += ["%s = %s" % kv for kv in fields.items()]
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(("\n".join(lines) + "\n").encode("gbk"))
    os.replace(tmp, path)


def add_drive(path, letter, fields):
    """Adds a disk to the stand-in's file, keeping what is there."""
    with open(path, "ab") as f:
        f.write(("[drive %s]\n" % letter + "".join("%s = %s\n" % kv for kv in fields.items())).encode("gbk"))


def set_mask(path, mask):
    """Forces the stand-in's USB drive mask (None: one bit per drive), keeping
    the disks and the state the stand-in wrote back."""
    with open(path, "rb") as f:
        lines = f.read().decode("gbk").splitlines()
    kept, section = [], None
    for line in lines:
        if line.startswith("["):
            section = line
        if section == "[library]" and line.replace(" ", "").startswith("mask="):
            continue
        kept.append(line)
    if mask is not None:
        if "[library]" in kept:
            kept.insert(kept.index("[library]") + 1, "mask = 0x%X" % mask)
        else:
            kept = ["[library]", "mask = 0x%X" % mask] + kept
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(("\n".join(kept) + "\n").encode("gbk"))
    os.replace(tmp, path)


def wait_calls(sim, name, times=1, timeout=15):
    """Waits until the stand-in has logged `times` calls of `name`."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if read_gbk(sim + ".calls").count(name + " ") >= times:
            return True
        time.sleep(0.05)
    return False


def read_gbk(path):
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("gbk", "replace")


def in_order(texts, wanted):
    """The first of `wanted` (substrings) not found in `texts` in that order, or None."""
    i = 0
    for w in wanted:
        while i < len(texts) and w not in texts[i]:
            i += 1
        if i == len(texts):
            return w
        i += 1
    return None


def copy_into(folder, *files):
    for f in files:
        shutil.copy2(f, folder)
