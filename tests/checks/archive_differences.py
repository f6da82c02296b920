#!/usr/bin/env python3
"""archive_differences.py A B: names the entries in which two release archives (both .zip or both
.tar.gz) differ, in their bytes or in what the archive records of them, so that a release made
twice and found unequal says where."""
import sys
import tarfile
import zipfile


def entries(path):
    """Maps each entry's name to (what the archive records of it, its bytes)."""
    found = {}
    if path.endswith(".zip"):
        with zipfile.ZipFile(path) as archive:
            for info in archive.infolist():
                recorded = (info.date_time, info.external_attr, info.create_system,
                            info.compress_type, info.extra)
                found[info.filename] = (recorded, archive.read(info))
    else:
        with tarfile.open(path, "r:gz") as archive:
            for info in archive.getmembers():
                recorded = (info.mtime, info.mode, info.uid, info.gid, info.uname, info.gname,
                            info.type)
                data = archive.extractfile(info).read() if info.isfile() else b""
                found[info.name] = (recorded, data)
    return found


SHOWN = 20


def main():
    first, second = entries(sys.argv[1]), entries(sys.argv[2])
    lines = []
    for name in sorted(set(first) | set(second)):
        if name not in first or name not in second:
            lines.append(f"{name}: only in {sys.argv[1] if name in first else sys.argv[2]}")
        elif first[name][0] != second[name][0]:
            lines.append(f"{name}: recorded as {first[name][0]} against {second[name][0]}")
        elif first[name][1] != second[name][1]:
            data_a, data_b = first[name][1], second[name][1]
            at = next((i for i, (a, b) in enumerate(zip(data_a, data_b)) if a != b),
                      min(len(data_a), len(data_b)))
            lines.append(f"{name}: {len(data_a)} against {len(data_b)} bytes, first differing"
                         f" at byte {at}")
    if not lines and list(first) != list(second):
        lines.append("the same entries, in another order")
    for line in lines[:SHOWN]:
        print("  " + line)
    if len(lines) > SHOWN:
        print(f"  and {len(lines) - SHOWN} more")


if __name__ == "__main__":
    main()
