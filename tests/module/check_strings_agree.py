#!/usr/bin/env python3
"""qvhost --strings against GetFileVersionEx (qvhost --fields) on real files,
and --fields, which answers from one read of each file, against the
module's export asked field by field (--dll, the module beside QVSETUP).

    check_strings_agree.py EMULATOR QVHOST CP1252_TABLE SKIP_LIST FILE_OR_FOLDER...

EMULATOR runs QVHOST ("-": none).
For each file and each field, the value --strings gives in the table
GetFileVersionEx's rule picks (the first with the field not empty, in the
order of the translation list, then 040904B0, 040904E4, 04090000), turned
into code page 1252 as WideCharToMultiByte turns it (best fit, else '?',
from src/reader/cp1252_table.h), must be what --fields answers; FileVersion
falls back to the fixed record. Names the export cannot take (a comma, an
outer blank) are passed over, and those in SKIP_LIST ("-" for none; "#"
starts a comment). Prints each difference; exits 1 on any, or when no
file has version information.
"""
import json
import re
import subprocess
import sys
from pathlib import Path

FIELDS = ["FileVersion", "CompanyName", "FileDescription", "InternalName", "LegalCopyright",
          "OriginalFilename", "ProductName", "ProductVersion", "Comments", "LegalTrademarks",
          "PrivateBuild", "SpecialBuild"]
DEFAULT_TABLES = ["040904B0", "040904E4", "04090000"]
HIGH = [0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160, 0x2039,
        0x152, 0x8D, 0x17D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178]


def fold(text):  # only A-Z, as the queries fold
    return re.sub("[a-z]", lambda m: m.group().upper(), text)


def shown(data):
    """Code page 1252 bytes as --fields shows them in UTF-8."""
    return "".join(chr(HIGH[b - 0x80] if 0x80 <= b <= 0x9F else b) for b in data)


def answer(value, best_fit):
    """What GetFileVersionEx makes of a string: a binary-typed one is handed
    back as its bytes, up to the first zero byte; text is converted. Without
    best_fit, the text as the file holds it (the rules' wide form)."""
    if best_fit is None:
        return value[1]
    units = value[1].encode("utf-16-le", "surrogatepass")
    if len(value) == 3:
        return shown(units.split(b"\0")[0])
    return shown(best_fit.get(u, u if u < 0x100 else 0x3F) for u in
                 (int.from_bytes(units[i:i + 2], "little") for i in range(0, len(units), 2)))


def expected(strings, field, best_fit):
    # The queries see the tables of the first StringFileInfo node only.
    tables = [t for t in strings["tables"] if t["info"] == 1]
    listed = strings["translations"]
    for translation in listed + [t for t in DEFAULT_TABLES if t not in listed]:
        table = next((t for t in tables if fold(t["translation"]) == fold(translation)), None)
        value = next((v for v in (table or {"strings": []})["strings"] if fold(v[0]) == fold(field)),
                     None)
        if value and answer(value, best_fit):
            return answer(value, best_fit)
    return (strings["fixed"] or {}).get("FileVersion", "") if field == "FileVersion" else ""


def run(command, files):
    out = subprocess.run(command + files, stdout=subprocess.PIPE, check=False).stdout
    return [json.loads(line) for line in out.decode("utf-8").split("\n") if line]


def main(emulator, qvhost, table, skip_list, *paths):
    best_fit = {int(u, 16): int(b, 16) for u, b in
                re.findall(r"\{0x([0-9A-F]{4}), 0x([0-9A-F]{2})\}", Path(table).read_text())}
    skip = set() if skip_list == "-" else {
        line.strip() for line in Path(skip_list).read_text().splitlines() if line[:1] not in "#"}
    files = sorted(str(f) for p in map(Path, paths) for f in (p.iterdir() if p.is_dir() else [p])
                   if f.is_file() and "," not in f.name and f.name.strip() == f.name
                   and f.name not in skip)
    command = ([] if emulator == "-" else [emulator]) + [qvhost, "--json"]
    module = Path(qvhost).with_name("QVSETUP.dll" if qvhost.endswith(".exe") else "libqvsetup.so")
    bad = rows = answered = 0
    for start in range(0, len(files), 200):
        batch = files[start:start + 200]
        exported = run(command + ["--dll", str(module), "--fields"], batch)
        for strings, fields, export in zip(run(command + ["--strings"], batch),
                                           run(command + ["--fields"], batch), exported):
            if fields != export:
                bad += 1
                print(f"differs: {fields['file']}: --fields {fields}, the export {export}")
            answered += strings["status"] == "ok"
            for field in FIELDS:
                rows += 1
                want = expected(strings, field, best_fit)
                if want != fields[field]:
                    bad += 1
                    print(f"differs: {fields['file']} {field}: --strings {want!r}, "
                          f"--fields {fields[field]!r}")
    print(f"{len(files)} files, {answered} with version information, {rows} rows, {bad} differ")
    return 1 if bad or not answered else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
