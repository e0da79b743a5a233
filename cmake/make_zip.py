#!/usr/bin/env python3
"""Zips a folder so that the same files always give the same bytes.

    make_zip.py SOURCE_DIR TOP_FOLDER ARCHIVE

Every file under SOURCE_DIR goes into ARCHIVE below TOP_FOLDER/, in sorted
order, with one fixed date (1980-01-01 00:00, the earliest a zip holds), the
same permissions and no extra fields: neither the time of the build nor the
order or dates the file system reports reach the archive. Prints nothing.
"""
import os
import sys
import zipfile

FIXED_DATE = (1980, 1, 1, 0, 0, 0)


def main():
    source, top, archive = sys.argv[1:4]
    names = []
    for folder, dirs, files in os.walk(source):
        dirs.sort()
        for name in files:
            path = os.path.join(folder, name)
            names.append(os.path.relpath(path, source).replace(os.sep, "/"))
    names.sort()
    with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for name in names:
            info = zipfile.ZipInfo(top + "/" + name, date_time=FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 0
            info.external_attr = 0
            with open(os.path.join(source, name), "rb") as f:
                z.writestr(info, f.read())


if __name__ == "__main__":
    main()
