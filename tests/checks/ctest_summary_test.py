#!/usr/bin/env python3
"""The closing line of scripts/test, from JUnit files written here by hand: passes, failures and
both kinds of skip reason are counted, a ctest that failed with no failed test is one failure, a
missing file is one failure, and a preset left out is named."""
import pathlib
import subprocess
import sys
import tempfile

SUMMARY = pathlib.Path(__file__).with_name("ctest_summary.py")

JUNIT = """<?xml version="1.0" encoding="UTF-8"?>
<testsuite tests="5">
  <testcase name="a.passes" status="run"><system-out>ok</system-out></testcase>
  <testcase name="b.passes" status="run"/>
  <testcase name="c.fails" status="fail"><failure message="boom"/></testcase>
  <testcase name="d.check" status="notrun"><skipped message="SKIP_RETURN_CODE=77"/>
    <system-out>starting
skipped: no wine here</system-out></testcase>
  <testcase name="E.Case" status="notrun"><skipped message="SKIP_RETURN_CODE=77"/>
    <system-out>[ RUN ] E.Case
x.cpp:3: Skipped
no wine here
[  SKIPPED ] E.Case</system-out></testcase>
</testsuite>
"""

ALL_PASSED = """<?xml version="1.0" encoding="UTF-8"?>
<testsuite tests="1"><testcase name="f" status="run"/></testsuite>
"""


def summary(*arguments):
    done = subprocess.run([sys.executable, SUMMARY, *arguments], capture_output=True, text=True)
    return done.returncode, done.stdout.splitlines()


def expect(what, got, wanted):
    if got != wanted:
        print(f"{what}:\n  got    {got!r}\n  wanted {wanted!r}")
        return False
    return True


def main():
    with tempfile.TemporaryDirectory() as folder:
        mixed = pathlib.Path(folder, "mixed.xml")
        mixed.write_text(JUNIT)
        passed = pathlib.Path(folder, "passed.xml")
        passed.write_text(ALL_PASSED)
        ok = True
        status, lines = summary("one", "8", str(mixed), "two", "0", str(passed), "three",
                                "left-out", "not run here, for a reason")
        ok &= expect("a failure and a left-out preset", (status, lines), (1, [
            "ctest one: 2 passed, 1 failed, 2 skipped, of 5",
            "    failed: c.fails",
            "ctest two: 1 passed, 0 failed, 0 skipped, of 1",
            "ctest three: not run here, for a reason",
            "3 passed, 1 failed, 2 skipped (2: no wine here); not run: three",
        ]))
        missing = pathlib.Path(folder, "no")
        status, lines = summary("two", "8", str(passed), "gone", "0", str(missing))
        ok &= expect("a failed ctest with no failed test; no file", (status, lines[0::2]), (1, [
            "ctest two exited 8 although no test failed",
            "ctest gone: no test results ([Errno 2] No such file or directory: "
            f"'{folder}/no')",
        ]))
        ok &= expect("their closing line", lines[-1], "1 passed, 2 failed, 0 skipped")
        status, lines = summary("two", "0", str(passed))
        ok &= expect("all passed", (status, lines[-1]), (0, "1 passed, 0 failed, 0 skipped"))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
