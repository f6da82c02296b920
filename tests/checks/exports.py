#!/usr/bin/env python3
"""exports.py linux|windows MODULE: the module exports c4d_main and nothing else; a Windows module
is a PE32 DLL that imports only the system's own DLLs (a module that needs a MinGW runtime DLL
would not load in a host)."""
import re
import subprocess
import sys

WINDOWS_IMPORTS = ["kernel32.dll", "msvcrt.dll"]


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def linux_exports(module):
    names = set()
    for line in run("nm", "-D", "--defined-only", module).splitlines():
        fields = line.split()
        if len(fields) == 3:
            names.add(fields[2])
    return sorted(names)


def windows_check(module):
    problems = []
    if "file format pei-i386" not in run("i686-w64-mingw32-objdump", "-f", module):
        problems.append(f"{module} is not a PE32 DLL")
    private = run("i686-w64-mingw32-objdump", "-p", module)
    table = private.split("[Ordinal/Name Pointer] Table", 1)
    exports = set()
    if len(table) == 2:
        for line in table[1].splitlines()[1:]:
            if not line.strip():
                break
            match = re.match(r"\s*\[\s*\d+\] (.*)$", line)
            if match:
                exports.add(match.group(1))
    imports = sorted({m.lower() for m in re.findall(r"^\s*DLL Name: (.*)$", private, re.M)})
    if imports != WINDOWS_IMPORTS:
        problems.append(f"imports of {module}: {' '.join(imports)} "
                        f"(expected {' '.join(WINDOWS_IMPORTS)})")
    return sorted(exports), problems


def main():
    kind, module = sys.argv[1], sys.argv[2]
    problems = []
    if kind == "windows":
        exports, problems = windows_check(module)
    else:
        exports = linux_exports(module)
    if exports != ["c4d_main"]:
        problems.append(f"exports of {module}: {' '.join(exports) or 'none'}")
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{module} exports only c4d_main" +
          (" and imports only " + " and ".join(WINDOWS_IMPORTS) if kind == "windows" else ""))
    return 0


if __name__ == "__main__":
    sys.exit(main())
