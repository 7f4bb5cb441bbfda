#!/usr/bin/env python3
"""Profile parity: the POSIX INI reader against the real profile functions.

Writes each case's INI file, asks the native profile_probe and the Windows
profile_probe.exe (under Wine) the same queries, and compares the answers.
Also compares `torvane-host config` natively and under Wine over the same
folder. Writes a JUnit report for the test driver and exits 1 on any
difference.

usage: profile_parity.py REPORT.xml NATIVE_BUILD WINDOWS_BUILD [WINDOWS_BUILD ...]
"""
import os
import shutil
import subprocess
import sys
import tempfile
import xml.sax.saxutils as su

# Windows programs start through the project's launcher, which picks Wine's
# loader by the program's architecture.
WINE = os.environ.get("TORVANE_WINE") or os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "wine-exec")

S, I = 'S', 'I'
LONG = 'v' * 300

# (name, file bytes or None for a missing file, [queries])
# A string query: (S, section, key, default, size); an integer one: (I, section, key, default).
CASES = [
    ('quoted values', b'[K]\r\na="quoted"\r\nb=\'single\'\r\nc="mixed\'\r\nd=""\r\ne="\r\nf= " padded " \r\n',
     [(S, 'K', k, 'dflt', 259) for k in 'abcdef'] + [(S, 'K', 'a', '', 7), (S, 'K', 'a', '', 8)]),
    ('blanks around keys and values', b'  [K]  \r\n  key one  =  value one  \r\n\tk2\t=\tv2\t\r\n k3= \r\n',
     [(S, 'K', 'key one', 'd', 259), (S, 'K', 'k2', 'd', 259), (S, 'K', 'k3', 'd', 259),
      (S, ' K ', ' k2 ', 'd', 259), (S, '[K]', 'k2', 'd', 259)]),
    ('section and key case', b'[KolMera]\nWebAddress=http://a/\nuser=x\n',
     [(S, 'KOLMERA', 'webaddress', '', 259), (S, 'kolmera', 'USER', '', 259)]),
    ('comments', b'; leading comment\n[K]\n;a=commented\na=1 ; trailing\n# b=hash\nb=2\n',
     [(S, 'K', 'a', 'd', 259), (S, 'K', ';a', 'd', 259), (S, 'K', '# b', 'd', 259),
      (S, 'K', 'b', 'd', 259)]),
    ('duplicate keys and sections', b'[K]\na=first\na=second\n[X]\nz=1\n[k]\na=third\nb=only-in-second\n',
     [(S, 'K', 'a', 'd', 259), (S, 'K', 'b', 'd', 259), (S, 'X', 'z', 'd', 259)]),
    ('missing section and key', b'[K]\na=1\nnovalue\n',
     [(S, 'Other', 'a', 'def', 259), (S, 'K', 'zz', 'def', 259), (S, 'K', 'novalue', 'def', 259),
      (S, 'K', 'zz', 'trailing   ', 259), (S, 'K', 'zz', '"quoted default"', 259),
      (I, 'K', 'zz', 7), (I, 'Other', 'a', -3)]),
    ('missing file', None,
     [(S, 'K', 'a', 'def', 259), (S, 'K', 'a', '"q"', 259), (S, 'K', 'a', 'long default', 5),
      (I, 'K', 'a', 42)]),
    ('value over 258 characters', b'[K]\nlong=' + LONG.encode() + b'\nq="' + LONG.encode() + b'"\n',
     [(S, 'K', 'long', '', 259), (S, 'K', 'q', '', 259), (S, 'K', 'long', '', 10)]),
    ('integers', b'[K]\nhex=0x10\nHEX=0X10\nlead= 12abc\nneg=-5\npos=+3\nbig=99999999999\n'
                 b'empty=\nword=abc\nbin=0b101\noct=0o17\nquoted="12"\nspaces=  7  \n',
     [(I, 'K', k, -1) for k in ['hex', 'lead', 'neg', 'pos', 'big', 'empty', 'word', 'bin',
                                 'oct', 'quoted', 'spaces', 'nothere']]),
    ('odd lines', b'[K\nx=1\n[K]\n=novalue\n [K2] trailing\ny=2\n[]\nz=3\n',
     [(S, 'K', 'x', 'd', 259), (S, 'K', '', 'd', 259), (S, 'K2', 'y', 'd', 259),
      (S, '', 'z', 'd', 259), (S, '[K', 'x', 'd', 259)]),
    ('gbk text', '[KOLMERA]\nUser=张三\n'.encode('gbk'),
     [(S, 'KOLMERA', 'User', '', 259), (S, 'KOLMERA', 'User', '', 3)]),
]


def query_lines(path, queries):
    out = []
    for q in queries:
        kind, rest = q[0], [str(x) for x in q[1:]]
        out.append('|'.join([kind, path] + rest))
    return ('\n'.join(out) + '\n').encode('gbk')


def to_windows(path):
    return 'Z:' + path.replace('/', '\\')


def run(cmd, windows):
    env = dict(os.environ)
    if windows:
        env.setdefault('WINEDEBUG', '-all')
        env['LC_ALL'] = 'zh_CN.UTF-8'
        cmd = [WINE] + cmd
    r = subprocess.run(cmd, capture_output=True, env=env, timeout=120)
    return r.stdout.replace(b'\r\n', b'\n'), r.returncode


def main():
    report, native, windows = sys.argv[1], sys.argv[2], sys.argv[3:]
    results = []  # (name, failure text or None)
    with tempfile.TemporaryDirectory(prefix='torvane-parity-') as tmp:
        for idx, (name, data, queries) in enumerate(CASES):
            ini = os.path.join(tmp, f'case{idx}.ini')
            if data is not None:
                with open(ini, 'wb') as f:
                    f.write(data)
            qn = os.path.join(tmp, f'case{idx}.native.q')
            qw = os.path.join(tmp, f'case{idx}.windows.q')
            with open(qn, 'wb') as f:
                f.write(query_lines(ini, queries))
            with open(qw, 'wb') as f:
                f.write(query_lines(to_windows(ini), queries))
            want, _ = run([os.path.join(native, 'tests', 'profile_probe'), qn], False)
            for build in windows:
                got, _ = run([os.path.join(build, 'tests', 'profile_probe.exe'), to_windows(qw)], True)
                label = f'{name} [{os.path.basename(build)}]'
                if got == want:
                    results.append((label, None))
                else:
                    diff = [f'{q}: posix {a!r} windows {b!r}'
                            for q, a, b in zip(queries, want.split(b'\n'), got.split(b'\n')) if a != b]
                    results.append((label, '\n'.join(diff) or f'posix {want!r} windows {got!r}'))

        # The reference host prints the same values on both targets (the
        # lines saying where each file was found name it in each system's
        # own path form, and notes are indented: both are left out).
        def values(out):
            return b'\n'.join(line for line in out.split(b'\n')
                               if not line.startswith(b'  ') and not line.split(b' ', 1)[0].endswith(b':'))

        sample = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'samples', 'config')
        sample = os.path.normpath(sample)
        want, rc = run([os.path.join(native, 'tools', 'torvane-host'), 'config', '--dir', sample], False)
        want = values(want.split(b'\n', 1)[1]) if rc == 0 else b'native host failed'
        for build in windows:
            got, rc = run([os.path.join(build, 'tools', 'torvane-host.exe'), 'config', '--dir',
                           to_windows(sample)], True)
            got = values(got.split(b'\n', 1)[1]) if rc == 0 else b'windows host failed'
            label = f'torvane-host config [{os.path.basename(build)}]'
            results.append((label, None if got == want else f'posix {want!r}\nwindows {got!r}'))

        # Without --dir the host directory is the executable's own folder; a
        # program in a drive's root directory gets that root.
        prefix = os.environ.get('WINEPREFIX', os.path.expanduser('~/.wine'))
        for build in windows:
            exe = os.path.join(prefix, 'drive_c', 'torvane-host-probe.exe')
            shutil.copyfile(os.path.join(build, 'tools', 'torvane-host.exe'), exe)
            got, _ = run(['C:\\torvane-host-probe.exe', 'config'], True)
            os.remove(exe)
            first = got.split(b'\n', 1)[0]
            label = f'host directory in a drive root [{os.path.basename(build)}]'
            results.append((label, None if first == b'HostDirectory=C:\\' else repr(first)))
        exe = os.path.join(tmp, 'torvane-host')
        shutil.copy(os.path.join(native, 'tools', 'torvane-host'), exe)
        got, _ = run([exe, 'config'], False)
        want = f'HostDirectory={tmp}/'.encode()
        results.append(('host directory of the executable [native]',
                        None if got.split(b'\n', 1)[0] == want else repr(got[:200])))

    failed = [r for r in results if r[1]]
    with open(report, 'w', encoding='utf-8') as f:
        f.write(f'<testsuite name="profile_parity" tests="{len(results)}" failures="{len(failed)}">\n')
        for label, failure in results:
            f.write(f'  <testcase name={su.quoteattr(label)}>')
            if failure:
                f.write(f'<failure message={su.quoteattr(failure)}/>')
            f.write('</testcase>\n')
        f.write('</testsuite>\n')
    for label, failure in results:
        print(('FAIL ' if failure else 'ok   ') + label)
        if failure:
            print('     ' + failure.replace('\n', '\n     '))
    print(f'profile parity: {len(results) - len(failed)} passed, {len(failed)} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
