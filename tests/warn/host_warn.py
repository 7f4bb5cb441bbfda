#!/usr/bin/env python3
"""torvane-host warn on POSIX: libTorvane.so loaded at run time shows the box
under the scripted UI; UTF-8 arguments arrive as GBK; a held flag drops it.

usage: host_warn.py TORVANE_HOST
"""
import fcntl
import os
import subprocess
import sys
import tempfile


def run(host, env, *args):
    return subprocess.run([host, 'warn', *args], env=env, capture_output=True, timeout=60)


def main():
    host = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        script = os.path.join(work, 'ui.script')
        transcript = os.path.join(work, 'ui.transcript')
        with open(script, 'w') as f:
            f.write('dialog 8003\nwait 2000\nclose\nwait 1000\npress 1\n')
        env = dict(os.environ, TORVANE_STATE_DIR=os.path.join(work, 'state'),
                   TORVANE_UI_SCRIPT=script, TORVANE_UI_TRANSCRIPT=transcript)
        r = run(host, env, '测试警告', '请拔出优盘')
        if r.returncode != 0 or b'ShowWarnInfo returned 0' not in r.stdout:
            failures.append('first call: rc %d, %r %r' % (r.returncode, r.stdout, r.stderr))
        lines = open(transcript, 'rb').read().decode('gbk').splitlines()
        for want in ['dialog 8003 open', '8003 title "测试警告"', '8003 set 8005 "请拔出优盘"',
                     '8003 set 8004 "窗口在60秒后自动关闭"', '8003 set 8004 "窗口在57秒后自动关闭"',
                     '8003 close', 'dialog 8003 end 1']:
            if want not in lines:
                failures.append('missing from the transcript: ' + want)

        # Another box is up (its flag is held): the call returns at once.
        os.makedirs(os.path.join(work, 'state', 'flags'), exist_ok=True)
        with open(os.path.join(work, 'state', 'flags', 'Global_ShowWarnInfo_DIZaraz'), 'w') as held:
            fcntl.flock(held, fcntl.LOCK_EX | fcntl.LOCK_NB)
            os.remove(transcript)
            r = run(host, env, 'second', 'text')
            shown = os.path.exists(transcript) and b'dialog 8003 open' in open(transcript, 'rb').read()
            if r.returncode != 0 or shown:
                failures.append('second call while a box is up: rc %d, shown %s' % (r.returncode, shown))

        r = run(host, env, 'only-caption')
        if r.returncode != 2:
            failures.append('usage error expected, got %d' % r.returncode)
    for f in failures:
        print('FAIL:', f)
    print('host_warn: %d failures' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
