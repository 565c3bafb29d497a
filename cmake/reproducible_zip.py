#!/usr/bin/env python3
"""Rewrites a zip so that the same files always give the same bytes, and writes its SHA-256.

    reproducible_zip.py ARCHIVE.zip [SECONDS [SUM_FOLDER]]

Entries keep their names and contents; they are sorted by name, every one gets the same time
(SECONDS since 1970 in UTC, else $SOURCE_DATE_EPOCH, else 1980-01-01, the first time a zip can
hold), plain permissions and no extra fields, and are compressed at one fixed level. Beside the
archive (or in SUM_FOLDER), ARCHIVE.zip.sha256 holds "<hex digest> *<file name>" as sha256sum
writes it.
"""
import hashlib
import os
import sys
import time
import zipfile

ZIP_EPOCH = 315532800  # 1980-01-01 00:00:00 UTC


def rewrite(path, seconds, sum_folder):
    stamp = time.gmtime(max(seconds, ZIP_EPOCH))[:6]
    with zipfile.ZipFile(path) as source:
        entries = [(info, None if info.is_dir() else source.read(info))
                   for info in source.infolist()]
    entries.sort(key=lambda entry: entry[0].filename)
    temporary = path + ".tmp"
    with zipfile.ZipFile(temporary, "w") as target:
        for old, data in entries:
            info = zipfile.ZipInfo(old.filename, date_time=stamp)
            info.create_system = 3  # Unix, so that the permissions below are read as such
            if data is None:
                info.external_attr = (0o40755 << 16) | 0x10
                target.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                target.writestr(info, data, compresslevel=9)
    os.replace(temporary, path)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    name = os.path.basename(path)
    with open(os.path.join(sum_folder, name + ".sha256"), "w", newline="\n") as f:
        f.write("%s *%s\n" % (digest, name))
    return digest


def main(argv):
    if len(argv) not in (1, 2, 3):
        sys.stderr.write(__doc__)
        return 2
    if len(argv) >= 2:
        seconds = int(argv[1])
    else:
        seconds = int(os.environ.get("SOURCE_DATE_EPOCH", ZIP_EPOCH))
    sum_folder = argv[2] if len(argv) == 3 else os.path.dirname(os.path.abspath(argv[0]))
    print("%s  %s" % (rewrite(argv[0], seconds, sum_folder), os.path.basename(argv[0])))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
