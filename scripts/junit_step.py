#!/usr/bin/env python3
"""Writes a JUnit report for steps of the test command that have none of
their own: a failed step, or suites that were skipped, with the reason.

    junit_step.py REPORT.xml SUITE failure|skipped MESSAGE [CASE ...]

Without CASE names the suite holds one case named SUITE.
"""
import sys
import xml.sax.saxutils as su


def main():
    if len(sys.argv) < 5 or sys.argv[3] not in ("failure", "skipped"):
        sys.exit(__doc__)
    report, suite, kind, message = sys.argv[1:5]
    cases = sys.argv[5:] or [suite]
    with open(report, "w", encoding="utf-8") as f:
        f.write(f'<testsuite name={su.quoteattr(suite)} tests="{len(cases)}" '
                f'{"failures" if kind == "failure" else "skipped"}="{len(cases)}">\n')
        for case in cases:
            f.write(f'  <testcase name={su.quoteattr(case)} classname={su.quoteattr(suite)}>'
                    f'<{kind} message={su.quoteattr(message)}/></testcase>\n')
        f.write('</testsuite>\n')


if __name__ == "__main__":
    main()
