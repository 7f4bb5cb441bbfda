#!/usr/bin/env python3
"""Adds up every suite of a test run and prints "N passed, N failed, N skipped".

Reads REPORTS/<preset>/ctest.xml (one entry per test program) and, where a
test program left a GoogleTest XML report beside it, counts its test cases
instead; a program that failed without a report of failures counts as one
failure. Other *.xml files in REPORTS (the parity check, failed steps) are
JUnit suites counted as they are; a case that was skipped is named with its
reason. A skipped case never counts as passed. Exits 1 when anything failed
or nothing passed.
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET


def failed_case(case):
    return case.find('failure') is not None or case.find('error') is not None


def skipped_case(case):
    return (case.find('skipped') is not None or case.get('status') in ('notrun', 'disabled', 'skipped')
            or case.get('result') == 'skipped')


def junit_counts(path):
    """Passed, failed and skipped cases of a JUnit report, and the skipped
    cases' names with their reasons."""
    passed = failed = skipped = 0
    reasons = []
    for c in ET.parse(path).getroot().iter('testcase'):
        if failed_case(c):
            failed += 1
        elif skipped_case(c):
            skipped += 1
            why = c.find('skipped')
            reasons.append((c.get('name'), why.get('message', '') if why is not None else ''))
        elif c.get('status', 'run') in ('run', 'passed'):
            passed += 1
    return passed, failed, skipped, reasons


def gtest_counts(path):
    """Cases that ran and passed, cases that failed, cases skipped; disabled
    cases count as none of them."""
    passed = failed = skipped = 0
    for case in ET.parse(path).getroot().iter('testcase'):
        if failed_case(case):
            failed += 1
        elif case.find('skipped') is not None or case.get('result') == 'skipped':
            skipped += 1
        elif case.get('status', 'run') == 'run' and case.get('result', 'completed') == 'completed':
            passed += 1
    return passed, failed, skipped


def main():
    reports = sys.argv[1]
    passed = failed = skipped = 0
    lines = []
    for ctest in sorted(glob.glob(os.path.join(reports, '*', 'ctest.xml'))):
        preset_dir = os.path.dirname(ctest)
        preset = os.path.basename(preset_dir)
        for case in ET.parse(ctest).getroot().iter('testcase'):
            name = case.get('name')
            program_failed = case.find('failure') is not None or case.get('status') == 'fail'
            gtest = os.path.join(preset_dir, name + '.xml')
            if not program_failed and skipped_case(case):
                p, f, s = 0, 0, 1
            elif os.path.exists(gtest):
                p, f, s = gtest_counts(gtest)
                if program_failed and f == 0:
                    f = 1  # crashed or hung after its cases passed
            else:
                p, f, s = (0, 1, 0) if program_failed else (1, 0, 0)
            passed += p
            failed += f
            skipped += s
            lines.append(f'{preset:12} {name:32} {p:5} passed {f:3} failed' + (f' {s:3} skipped' if s else ''))
    for other in sorted(glob.glob(os.path.join(reports, '*.xml'))):
        p, f, s, reasons = junit_counts(other)
        passed += p
        failed += f
        skipped += s
        name = os.path.basename(other)[:-4]
        lines.append(f'{"":12} {name:32} {p:5} passed {f:3} failed' + (f' {s:3} skipped' if s else ''))
        lines.extend(f'{"":12}   skipped {case}: {why}' for case, why in reasons)
    print('\n'.join(lines))
    print(f'{passed} passed, {failed} failed, {skipped} skipped')
    return 1 if failed or passed == 0 else 0


if __name__ == '__main__':
    sys.exit(main())
