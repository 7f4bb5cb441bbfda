#!/usr/bin/env python3
"""torvane-uidriver from another process: drives the warning box that
torvane-host warn shows through Torvane.dll, with Chinese on both command
lines.

usage: uidriver_cli.py EMULATOR TORVANE_HOST TORVANE_UIDRIVER
"""
import re
import subprocess
import sys


def main():
    emulator, host, driver = sys.argv[1:4]
    failures = []
    box = subprocess.Popen([emulator, host, 'warn', '驱动测试', '请拔出优盘'], stdout=subprocess.PIPE)
    r = subprocess.run([emulator, driver, '--timeout', '30000', 'dialog', '驱动测试', '1,8004,8005', 'title',
                        'text', '8005', 'text', '8004', 'escape', 'close', 'sleep', '2500', 'text', '8004',
                        'place', 'click', '1', 'gone', '10000'], capture_output=True, timeout=120)
    out = r.stdout.decode('utf-8', 'replace').splitlines()
    if r.returncode != 0 or len(out) != 5:
        failures.append('driver: rc %d, out %r, err %r' % (r.returncode, out, r.stderr))
    else:
        if out[0] != '驱动测试':
            failures.append('title %r' % out[0])
        if out[1] != '请拔出优盘':
            failures.append('text %r' % out[1])
        if not re.fullmatch('窗口在(60|59)秒后自动关闭', out[2]):
            failures.append('first countdown line %r' % out[2])
        m = re.fullmatch('窗口在(\\d+)秒后自动关闭', out[3])
        if not m or not 50 <= int(m.group(1)) <= 58:
            failures.append('countdown after Escape, close and 2.5 s: %r' % out[3])
        fields = out[4].split()
        if len(fields) != 6 or int(fields[4], 16) & 0x00C00000 != 0x00C00000:
            failures.append('place %r: expected a caption' % out[4])
    try:
        shown, _ = box.communicate(timeout=30)
        if box.returncode != 0 or b'ShowWarnInfo returned 0' not in shown:
            failures.append('torvane-host warn: rc %d, %r' % (box.returncode, shown))
    except subprocess.TimeoutExpired:
        box.kill()
        failures.append('the box did not close on OK')

    r = subprocess.run([emulator, driver, '--timeout', '300', 'dialog', 'no such dialog'], capture_output=True,
                       timeout=60)
    if r.returncode != 1 or b'no dialog' not in r.stderr:
        failures.append('a missing dialog must fail: rc %d %r' % (r.returncode, r.stderr))
    for f in failures:
        print('FAIL:', f)
    print('uidriver_cli: %d failures' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
