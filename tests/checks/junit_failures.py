#!/usr/bin/env python3
"""junit_failures.py FILE: prints the failures and errors that a JUnit report counts, summed over
its test suites; exit status 2 when the file is missing, is not XML or holds no test suite."""
import sys
import xml.etree.ElementTree as ElementTree


def main():
    try:
        root = ElementTree.parse(sys.argv[1]).getroot()
    except (OSError, ElementTree.ParseError) as error:
        print(f"{sys.argv[1]}: {error}", file=sys.stderr)
        return 2
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    if not suites:
        print(f"{sys.argv[1]}: no test suite", file=sys.stderr)
        return 2
    print(sum(int(s.get("failures", 0)) + int(s.get("errors", 0)) for s in suites))
    return 0


if __name__ == "__main__":
    sys.exit(main())
