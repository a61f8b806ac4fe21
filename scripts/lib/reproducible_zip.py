#!/usr/bin/env python3
"""Writes a zip file that depends only on its inputs: entries in the order given, each with the
same time (from SOURCE_DATE_EPOCH, in UTC, at least 1980-01-01) and MS-DOS attributes, deflated
at level 9, with no extra fields.

Usage: reproducible_zip.py OUTPUT NAME=FILE...
"""
import os
import sys
import time
import zipfile

ARCHIVE_ATTRIBUTE = 0x20
MS_DOS = 0
EARLIEST = (1980, 1, 1, 0, 0, 0)


def entry_time():
    epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
    stamp = time.gmtime(epoch)[:6]
    return max(stamp, EARLIEST)


def main(arguments):
    if len(arguments) < 2 or any("=" not in entry for entry in arguments[1:]):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    when = entry_time()
    with zipfile.ZipFile(arguments[0], "w") as archive:
        for entry in arguments[1:]:
            name, path = entry.split("=", 1)
            info = zipfile.ZipInfo(name, date_time=when)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = MS_DOS
            info.external_attr = ARCHIVE_ATTRIBUTE
            with open(path, "rb") as source:
                archive.writestr(info, source.read(), compresslevel=9)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
