#!/usr/bin/env python3
"""Lays out the release's files in a folder and packs them into the zip file.

The layout is the installed one: Mavris.exe, help\\Mavris.chm, the read-mes and the licence.
The text files get Windows line ends, and a byte-order mark where they are not plain ASCII
(so that Notepad shows the umlauts); "@VERSION@" in a read-me becomes the version.

usage: stage.py --exe EXE --chm CHM --licence FILE --readme FILE... --version V
                --stage DIR --zip ZIP
"""

import argparse
import shutil
import sys
import zipfile
from pathlib import Path


def windows_text(text):
    data = text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")
    return data if data.isascii() else b"\xef\xbb\xbf" + data


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--chm", required=True)
    parser.add_argument("--licence", required=True)
    parser.add_argument("--readme", action="append", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--stage", required=True)
    parser.add_argument("--zip", required=True)
    args = parser.parse_args()

    stage = Path(args.stage)
    shutil.rmtree(stage, ignore_errors=True)
    (stage / "help").mkdir(parents=True)
    shutil.copyfile(args.exe, stage / "Mavris.exe")
    shutil.copyfile(args.chm, stage / "help" / "Mavris.chm")
    (stage / "LICENSE.txt").write_bytes(windows_text(Path(args.licence).read_text()))
    for readme in map(Path, args.readme):
        text = readme.read_text().replace("@VERSION@", args.version)
        (stage / readme.name).write_bytes(windows_text(text))

    files = sorted(path for path in stage.rglob("*") if path.is_file())
    with zipfile.ZipFile(args.zip, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for path in files:
            archive.write(path, path.relative_to(stage).as_posix())
    print(f"{Path(args.zip).name}: {', '.join(p.relative_to(stage).as_posix() for p in files)}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
