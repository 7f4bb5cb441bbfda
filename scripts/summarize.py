#!/usr/bin/env python3
"""Adds up every suite of a test run and prints "N passed, N failed".

Reads REPORTS/<preset>/ctest.xml (one entry per test program) and, where a
test program left a GoogleTest XML report beside it, counts its test cases
instead; a program that failed without a report of failures counts as one
failure. Other *.xml files in REPORTS (the parity check, failed steps) are
JUnit suites counted as they are. Exits 1 when anything failed.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def junit_counts(path):
    root = ET.parse(path).getroot()
    cases = root.iter('testcase')
    passed = failed = 0
    for c in cases:
        if c.find('failure') is not None or c.find('error') is not None:
            failed += 1
        elif c.get('status', 'run') in ('run', 'passed') and c.find('skipped') is None:
            passed += 1
    return passed, failed


def gtest_counts(path):
    """Cases that ran and passed, and cases that failed; skipped and
    disabled cases count as neither."""
    passed = failed = 0
    for case in ET.parse(path).getroot().iter('testcase'):
        if case.find('failure') is not None or case.find('error') is not None:
            failed += 1
        elif case.get('status', 'run') == 'run' and case.get('result', 'completed') == 'completed' \
                and case.find('skipped') is None:
            passed += 1
    return passed, failed


def main():
    reports = sys.argv[1]
    passed = failed = 0
    lines = []
    for ctest in sorted(glob.glob(os.path.join(reports, '*', 'ctest.xml'))):
        preset_dir = os.path.dirname(ctest)
        preset = os.path.basename(preset_dir)
        for case in ET.parse(ctest).getroot().iter('testcase'):
            name = case.get('name')
            program_failed = case.find('failure') is not None or case.get('status') == 'fail'
            gtest = os.path.join(preset_dir, name + '.xml')
            if os.path.exists(gtest):
                p, f = gtest_counts(gtest)
                if program_failed and f == 0:
                    f = 1  # crashed or hung after its cases passed
            else:
                p, f = (0, 1) if program_failed else (1, 0)
            passed += p
            failed += f
            lines.append(f'{preset:12} {name:32} {p:5} passed {f:3} failed')
    for other in sorted(glob.glob(os.path.join(reports, '*.xml'))):
        p, f = junit_counts(other)
        passed += p
        failed += f
        lines.append(f'{"":12} {os.path.basename(other)[:-4]:32} {p:5} passed {f:3} failed')
    print('\n'.join(lines))
    print(f'{passed} passed, {failed} failed')
    return 1 if failed or passed == 0 else 0


if __name__ == '__main__':
    sys.exit(main())
