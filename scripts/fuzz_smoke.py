#!/usr/bin/env python3
"""Runs every libFuzzer harness in a folder for a few seconds each (with
fuzz/<harness>.dict as its dictionary when there is one) and
writes a JUnit report: a harness passes when it exits 0 (no crash, leak,
sanitizer report or timeout).

usage: fuzz_smoke.py REPORT.xml HARNESS_DIR SECONDS
"""
import glob
import os
import subprocess
import sys
import tempfile
import xml.sax.saxutils as su


def main():
    report, folder, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
    results = []
    for exe in sorted(glob.glob(os.path.join(folder, '*_fuzz'))):
        name = os.path.basename(exe)
        corpus = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'fuzz', 'corpus', name)
        cmd = [exe, f'-max_total_time={seconds}', '-timeout=10', '-rss_limit_mb=2048']
        dictionary = os.path.join(os.path.dirname(corpus), '..', name + '.dict')
        if os.path.isfile(dictionary):
            cmd.append('-dict=' + dictionary)
        # New inputs go to a scratch folder (the first one named); the
        # committed corpus is only read, so a test run leaves the tree as it was.
        scratch = tempfile.TemporaryDirectory(prefix=name + '-')
        cmd.append(scratch.name)
        if os.path.isdir(corpus):
            cmd.append(corpus)
        with scratch:
            r = subprocess.run(cmd, capture_output=True, text=True, errors='replace', timeout=seconds + 120)
        tail = '\n'.join(r.stderr.splitlines()[-15:])
        results.append((name, None if r.returncode == 0 else tail))
        print(('ok   ' if r.returncode == 0 else 'FAIL ') + name)
        if r.returncode:
            print(tail)
    with open(report, 'w', encoding='utf-8') as f:
        failed = sum(1 for _, e in results if e)
        f.write(f'<testsuite name="fuzz_smoke" tests="{len(results)}" failures="{failed}">\n')
        for name, err in results:
            f.write(f'  <testcase name={su.quoteattr(name)}>')
            if err:
                f.write(f'<failure message={su.quoteattr(err)}/>')
            f.write('</testcase>\n')
        f.write('</testsuite>\n')
    return 0


if __name__ == '__main__':
    sys.exit(main())
