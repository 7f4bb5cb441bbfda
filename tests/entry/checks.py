"""Named checks of an end-to-end scenario, printed as they are made and
summed up at the end (and written as a JUnit report when asked)."""
import xml.sax.saxutils as su


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
