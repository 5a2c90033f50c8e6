#!/usr/bin/env python3
"""Checks that an executable runs on the oldest Windows the release is built for.

Reads the executable's import tables and PE header with objdump and fails when
- it imports a function that the list of allowed imports (win32_imports.txt) does not name,
- it imports a function whose listed Windows version is newer than the oldest one, or
- its header's subsystem or operating-system version is not that oldest version (the loader
  of an older Windows then refuses the program instead of failing inside it).

usage: check_imports.py --objdump OBJDUMP --allowed LIST --windows 6.0 [--stamp FILE] EXE
Exit code 0 when all is well, 1 with one line per finding otherwise.
"""

import argparse
import re
import subprocess
import sys
from pathlib import Path

IMPORT_LINE = re.compile(r"^\t[0-9a-f]+\t\s*\d+\s+(\S+)$")


def version(text):
    return tuple(int(part) for part in text.split("."))


def read_allowed(path):
    """{dll: {function: (major, minor)}} from the list; DLL names in lower case."""
    allowed, dll = {}, None
    for number, raw in enumerate(Path(path).read_text().splitlines(), 1):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        if line.startswith("[") and line.endswith("]"):
            dll = line[1:-1].lower()
            allowed.setdefault(dll, {})
            continue
        fields = line.split()
        if dll is None or len(fields) != 2 or not re.fullmatch(r"\d+\.\d+", fields[1]):
            raise SystemExit(f"{path}:{number}: expected 'Function version' under a [dll]")
        allowed[dll][fields[0]] = version(fields[1])
    return allowed


def read_executable(objdump, exe):
    """({dll: [function, ...]}, {header field: value}) as objdump -p shows them."""
    text = subprocess.run([objdump, "-p", str(exe)], check=True, capture_output=True,
                          text=True).stdout
    imports, header, dll = {}, {}, None
    for line in text.splitlines():
        if line.strip().startswith("DLL Name:"):
            dll = line.split(":", 1)[1].strip().lower()
            imports.setdefault(dll, [])
        elif dll is not None and (found := IMPORT_LINE.match(line)):
            imports[dll].append(found.group(1))
        elif not line.startswith("\t") and len(fields := line.split()) == 2:
            header.setdefault(fields[0], fields[1])
    return imports, header


def findings(imports, header, allowed, oldest):
    problems = []
    for dll, functions in sorted(imports.items()):
        for function in functions:
            listed = allowed.get(dll, {}).get(function)
            if listed is None:
                problems.append(f"{dll} {function}: not in the list of allowed imports; look "
                                "up its minimum Windows and add it, or avoid it")
            elif listed > oldest:
                problems.append(f"{dll} {function}: needs Windows NT "
                                f"{listed[0]}.{listed[1]}, newer than the oldest supported")
    for field, name in (("Subsystem", "subsystem"), ("OSystem", "operating-system")):
        got = (header.get(f"Major{field}Version"), header.get(f"Minor{field}Version"))
        if got != (str(oldest[0]), str(oldest[1])):
            problems.append(f"PE header: {name} version {got[0]}.{got[1]}, expected "
                            f"{oldest[0]}.{oldest[1]}")
    if not imports:
        problems.append("no import table found")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--objdump", required=True)
    parser.add_argument("--allowed", required=True)
    parser.add_argument("--windows", required=True, help="oldest Windows, e.g. 6.0")
    parser.add_argument("--stamp", help="file written when the check passes")
    parser.add_argument("exe")
    args = parser.parse_args()
    imports, header = read_executable(args.objdump, args.exe)
    problems = findings(imports, header, read_allowed(args.allowed), version(args.windows))
    for problem in problems:
        print(f"{args.exe}: {problem}", file=sys.stderr)
    if problems:
        return 1
    count = sum(len(functions) for functions in imports.values())
    print(f"{Path(args.exe).name}: {count} imports from {len(imports)} DLLs, all on Windows "
          f"NT {args.windows} or older")
    if args.stamp:
        Path(args.stamp).write_text(f"{count}\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
