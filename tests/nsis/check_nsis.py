#!/usr/bin/env python3
"""qvnsis.dll inside a real NSIS installer, run silently under Wine.

    check_nsis.py FLAVOUR PLUGINS WORK REFERENCE QVHOST CASES FILE_OR_FOLDER...
    check_nsis.py portable - WORK WIDE_CALLS QVHOST - FILE_OR_FOLDER...

Builds tests/nsis/calls.nsi for FLAVOUR (x86-ansi, x86-unicode,
amd64-unicode) with makensis, the plug-in taken from PLUGINS, in WORK; writes
the calls into WORK/calls.txt, runs the installer with /S through
cmake/wine-run.sh, and checks each record of WORK/answers.txt: the stack
holds what it held but the one answer, the error flag is set exactly when
the answer is empty, and the answer is the reference's, cut to the
installer's 1023 characters.

The calls: GetFileVersion and GetFileVersionEx for each field the Wine
comparison asks (tests/wine/query_versions.cpp) of each file; the
CompareVersions and NormalizeMSIEVersion cases of CASES
(tests/support/export_cases.h) that give two items, or a value; and
IsQarvellClientRunning (no client runs: "0").

References: for x86-ansi, what QVSETUP.dll writes for the same call,
printed by REFERENCE (the 32-bit query_versions.exe beside the DLL, under
Wine); for the Unicode flavours, the file's own text as QVHOST (the portable
qvhost) --strings prints it, in the table the rule picks. With REFERENCE
"hostile" no answer is compared: every call must give one answer. A folder
given as "@LIST" stands for the files LIST names.

"portable" checks the rules' wide form on the portable build the same way:
WIDE_CALLS (wide_calls.cpp) answers the file calls in place of an installer.
"""
import codecs
import json
import os
import re
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
WINE_RUN = HERE.parent.parent / "cmake" / "wine-run.sh"
STRING_SIZE = 1024
FIELDS = ["FileVersion", "CompanyName", "FileDescription", "InternalName", "LegalCopyright",
          "OriginalFilename", "ProductName", "ProductVersion", "Comments", "LegalTrademarks",
          "PrivateBuild", "SpecialBuild"]
NUMBERS = {"FILEVERSIONNUMBER": "FileVersion", "PRODUCTVERSIONNUMBER": "ProductVersion"}
# As query_versions asks them.
PLAIN_ASKED = FIELDS[:9] + ["companyname", ""]
EX_ASKED = FIELDS + ["FileVersionNumber", "ProductVersionNumber", "companyname", "Unknown"]
DEFAULT_TABLES = ["040904B0", "040904E4", "04090000"]


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


def c_strings(block):
    """The C string literals of each {"...", "..."} row of a table."""
    rows = re.findall(r'\{"((?:[^"\\]|\\.)*)", "((?:[^"\\]|\\.)*)"(, false)?\}', block)
    decode = lambda s: codecs.decode(s, "unicode_escape")
    return [(decode(a), decode(b), bool(absent)) for a, b, absent in rows]


def export_cases(cases_file):
    """(function, first, second, expected) rows from the export tests' tables."""
    text = Path(cases_file).read_text()
    compare = text[text.index("kCompareCases[]"):text.index("struct NormalizeCase")]
    normalize = text[text.index("kNormalizeCases[]"):]
    normalize = normalize[:normalize.index("};")]
    rows = []
    for parameters, delta, _ in c_strings(compare):
        items = [s.strip(" \t\n\v\f\r") for s in parameters.split(",")]
        if len(items) >= 2:
            rows.append(("CompareVersions", items[0], items[1], delta))
    for before, after, absent in c_strings(normalize):
        if not absent and "\n" not in before and "\r" not in before:
            rows.append(("NormalizeMSIEVersion", before, "", after))
    return rows


def fold(text):  # only A-Z, as the rules fold
    return re.sub("[a-z]", lambda m: m.group().upper(), text)


def table_value(strings, translation, field):
    tables = [t for t in strings["tables"] if t["info"] == 1]
    table = next((t for t in tables if fold(t["translation"]) == fold(translation)), None)
    value = next((v for v in (table or {"strings": []})["strings"] if fold(v[0]) == fold(field)),
                 None)
    return None if value is None else value[1].split("\0")[0]


def wide_expected(strings, rule, field):
    """The Unicode flavour's answer: the file's own text in the table the
    rule picks, or the fixed record's version."""
    fixed = strings["fixed"] or {}
    name = next((f for f in FIELDS if fold(f) == fold(field)), None)
    if rule == "GetFileVersion":
        name = "FileVersion" if field == "" else name
        if name is None or name not in FIELDS[:8]:
            return ""
        value = table_value(strings, "040904E4", name)
        if name == "FileVersion" and not value:
            # --strings shows a string of length 0 (the rule falls back) and
            # one holding only its terminator (it does not) alike.
            fallback = fixed.get("ProductVersion", "")
            return fallback if value is None else ("", fallback)
        return value or ""
    if fold(field) in NUMBERS:
        return fixed.get(NUMBERS[fold(field)], "")
    if name is None:
        return ""
    listed = strings["translations"]
    for translation in listed + [t for t in DEFAULT_TABLES if t not in listed]:
        value = table_value(strings, translation, name)
        if value:
            return value
    return fixed.get("FileVersion", "") if name == "FileVersion" else ""


def ansi_references(reference, files, work):
    """What QVSETUP.dll writes: query_versions --exports, file by file."""
    listing = work / "files.txt"
    listing.write_text("".join(f"{f}\n" for f in files))
    out = subprocess.run(["bash", str(WINE_RUN), reference, "--exports", str(listing)],
                         stdout=subprocess.PIPE, check=False).stdout.decode("latin-1")
    answers, n = {}, None
    for line in out.split("\n"):
        if line.startswith("FILE "):
            n = int(line.split()[1])
        elif "\t" in line and n is not None:
            key, value = line.split("\t", 1)
            rule, field = ("GetFileVersionEx", key[3:]) if key.startswith("ex ") else \
                ("GetFileVersion", key)
            answers[(files[n], rule, field)] = bytes.fromhex(value).decode("cp1252", "replace")
    # The export reads an empty field as unknown; the plug-in as FileVersion.
    for (path, rule, field), value in list(answers.items()):
        if rule == "GetFileVersion" and field == "FileVersion":
            answers[(path, rule, "")] = value
    return answers


def wide_references(qvhost, files):
    answers = {}
    for start in range(0, len(files), 200):
        batch = files[start:start + 200]
        out = subprocess.run([qvhost, "--json", "--strings"] + [str(f) for f in batch],
                             stdout=subprocess.PIPE, check=False).stdout.decode("utf-8")
        for path, line in zip(batch, [l for l in out.split("\n") if l]):
            strings = json.loads(line)
            for rule, asked in (("GetFileVersion", PLAIN_ASKED), ("GetFileVersionEx", EX_ASKED)):
                for field in asked:
                    answers[(path, rule, field)] = wide_expected(strings, rule, field)
    return answers


def cut(text, wide):
    """What the installer's string size leaves of an answer."""
    if not wide:
        return text[:STRING_SIZE - 1]
    units = text.encode("utf-16-le", "surrogatepass")[:2 * (STRING_SIZE - 1)]
    if len(units) >= 2 and 0xD800 <= int.from_bytes(units[-2:], "little") < 0xDC00:
        units = units[:-2]
    return units.decode("utf-16-le", "replace")


def run_installer(flavour, plugins, work):
    """Builds the installer and runs it silently; None when makensis fails."""
    installer = work / f"calls-{flavour}.exe"
    build = subprocess.run(["makensis", "-V2", f"-DTARGET={flavour}",
                            f"-DPLUGINS={Path(plugins).resolve()}", f"-DOUTFILE={installer}",
                            str(HERE / "calls.nsi")],
                           stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=False)
    if build.returncode != 0:
        print(build.stdout.decode(errors="replace"))
        print(f"FAIL: makensis could not build the {flavour} installer")
        return None
    return subprocess.run(["bash", str(WINE_RUN), str(installer), "/S"], check=False)


def main(flavour, plugins, work, reference, qvhost, cases, *paths):
    work = Path(work)
    work.mkdir(parents=True, exist_ok=True)
    portable = flavour == "portable"
    wide = portable or flavour.endswith("unicode")
    hostile = reference == "hostile"
    # The slow files (tests/wine/slow_files.txt) go to the long tests only;
    # those where a 64-bit process gets memory a 32-bit one cannot
    # (differences_64bit.txt) answer otherwise there.
    skip_lists = ["slow_files.txt"] + (["differences_64bit.txt"] if "amd64" in flavour else [])
    slow = {line.strip() for name in skip_lists for line in
            (HERE.parent / "wine" / name).read_text().splitlines() if line[:1] not in "#"}
    # "@LIST": the files LIST names, one a line.
    paths = [q for p in paths for q in
             (Path(p[1:]).read_text().splitlines() if p.startswith("@") else [p])]
    files = sorted(f for p in map(Path, paths) for f in (p.iterdir() if p.is_dir() else [p])
                   if f.is_file() and "\n" not in str(f) and "\r" not in str(f)
                   and f.name not in slow)
    if not wide:  # the ANSI installer reads its list in code page 1252
        files = [f for f in files if all(ord(c) < 0x80 or c.encode("cp1252", "ignore")
                                         for c in str(f))]
    calls = [] if hostile or portable else export_cases(cases)
    calls += [] if portable else [("IsQarvellClientRunning", "", "", "0")]
    for f in files:
        for rule, asked in (("GetFileVersion", PLAIN_ASKED), ("GetFileVersionEx", EX_ASKED)):
            for field in (asked if not hostile else asked[:1] + asked[-1:]):
                calls.append((rule, f, field, None))
    name = str if portable else windows_path
    listing = "".join(f"{fn}\n{name(a) if isinstance(a, Path) else a}\n{b}\n"
                      for fn, a, b, _ in calls)
    encoding = "utf-8" if portable else "utf-16-le" if wide else "cp1252"
    (work / "calls.txt").write_bytes(listing.encode(encoding, "surrogateescape"))
    answers_file = work / "answers.txt"
    answers_file.unlink(missing_ok=True)
    began = time.monotonic()
    run = run_installer(flavour, plugins, work) if not portable else \
        subprocess.run([reference, str(work / "calls.txt"), str(answers_file)], check=False)
    if run is None:
        return 1
    seconds = time.monotonic() - began

    raw = answers_file.read_bytes() if answers_file.exists() else b""
    records = (raw.decode("utf-16-le", "replace") if wide else raw.decode("cp1252", "replace"))
    records = records.split("\0")[:-1]

    expected = {}
    if not hostile:
        expected = wide_references(qvhost, files) if wide else \
            ansi_references(reference, files, work)
    bad = beyond = 0
    for call, record in zip(calls, records):
        function, first, second, want = call
        error, stack, answer = record[:1], record[1:2], record[2:]
        if want is None and not hostile:
            want = expected.get((first, function, second), "<no reference>")
            if not portable:  # no string size there
                want = tuple(cut(w, wide) for w in want) if isinstance(want, tuple) else \
                    cut(want, wide)
        problems = []
        if stack != "1":
            problems.append("the stack changed")
        if error != ("1" if answer == "" else "0"):
            problems.append(f"error flag {error!r}")
        if not hostile and answer not in (want if isinstance(want, tuple) else (want,)):
            problems.append(f"answer {answer[:80]!r}, expected {want[:80]!r}")
        beyond += not problems and any(not c.encode("cp1252", "ignore") for c in answer)
        if problems:
            bad += 1
            if bad <= 40:
                print(f"FAIL: {function} {first} {second}: {'; '.join(problems)}")
    if run.returncode != 0 or len(records) != len(calls):
        print(f"FAIL: the installer ended with status {run.returncode} after "
              f"{len(records)} of {len(calls)} calls")
        bad += 1
    if wide and not hostile and beyond == 0:
        print("FAIL: no answer outside code page 1252 was checked")
        bad += 1
    print(f"{flavour}: {len(files)} files, {len(calls)} calls in {seconds:.1f} s, {bad} failed, "
          f"{beyond} answers outside code page 1252")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
