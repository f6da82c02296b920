#!/usr/bin/env python3
"""ctest_summary.py PRESET STATUS JUNIT [PRESET STATUS JUNIT...]: what ctest counted in each
preset's JUnit file (--output-junit), read with an XML parser, and the closing line of
scripts/test: passed, failed, and skipped with the reasons summed up. STATUS is ctest's exit
status; a STATUS of "left-out" says that the preset was not run, and JUNIT is then the reason,
which the closing line names. A preset whose file is missing or unreadable, or whose ctest failed
although no test did (a test that could not be started, say), counts as one failure. Exit status
1 when anything failed."""
import collections
import re
import sys
import xml.etree.ElementTree as ElementTree


def skip_reason(case):
    """The reason a skipped test gives: a check's "skipped: REASON" line, or the line after
    GoogleTest's "Skipped" (GTEST_SKIP's message), else what ctest says of it."""
    output = case.findtext("system-out") or ""
    lines = [line.strip() for line in output.replace("\r", "").splitlines()]
    for line in lines:
        if line.startswith("skipped: "):
            return line[len("skipped: "):]
    for i, line in enumerate(lines[:-1]):
        if re.search(r"(^|: )Skipped$", line) and lines[i + 1] and not lines[i + 1].startswith("["):
            return lines[i + 1]
    element = case.find("skipped")
    if case.get("status") == "disabled":
        return "disabled"
    return element.get("message", "no reason given") if element is not None else "no reason given"


def main(arguments):
    totals = collections.Counter()
    reasons = collections.Counter()
    not_run = []
    for preset, status, junit in zip(arguments[0::3], arguments[1::3], arguments[2::3]):
        if status == "left-out":
            print(f"ctest {preset}: {junit}")
            not_run.append(preset)
            continue
        try:
            cases = ElementTree.parse(junit).getroot().iter("testcase")
            counts = collections.Counter()
            failed_names = []
            for case in cases:
                state = case.get("status")
                if state == "run":
                    counts["passed"] += 1
                elif state in ("notrun", "disabled"):
                    counts["skipped"] += 1
                    reasons[skip_reason(case)] += 1
                else:
                    counts["failed"] += 1
                    failed_names.append(case.get("name"))
        except (OSError, ElementTree.ParseError) as error:
            print(f"ctest {preset}: no test results ({error})")
            totals["failed"] += 1
            continue
        if status != "0" and counts["failed"] == 0:
            print(f"ctest {preset} exited {status} although no test failed")
            counts["failed"] += 1
        print(f"ctest {preset}: {counts['passed']} passed, {counts['failed']} failed, "
              f"{counts['skipped']} skipped, of {sum(counts.values())}")
        for name in failed_names:
            print(f"    failed: {name}")
        totals.update(counts)
    line = f"{totals['passed']} passed, {totals['failed']} failed, {totals['skipped']} skipped"
    if reasons:
        line += " (" + "; ".join(f"{count}: {reason}" for reason, count in
                                 sorted(reasons.items(), key=lambda item: (-item[1], item[0])))
        line += ")"
    if not_run:
        line += "; not run: " + ", ".join(not_run)
    print(line)
    return 1 if totals["failed"] else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
