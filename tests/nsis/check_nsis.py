#!/usr/bin/env python3
"""qvnsis.dll inside a real NSIS installer, run silently under Wine.

    check_nsis.py FLAVOUR PLUGINS WORK REFERENCE QVHOST CASES FILE_OR_FOLDER...

Builds calls.nsi for FLAVOUR with the plug-in of PLUGINS, runs it with /S
in WORK on a list of calls, and checks each record: the stack left as it
was but the one answer, the error flag set exactly when the answer is
empty, and the answer, cut to the installer's 1023 characters, the
reference's. The calls: both rules on every field query_versions asks of
each file, the export tests' CompareVersions and NormalizeMSIEVersion cases
(CASES) and IsQarvellClientRunning ("0"). The reference: for x86-ansi,
QVSETUP.dll's own answer (REFERENCE: query_versions.exe); for the Unicode
flavours, QVHOST --strings' text in the table the rule picks. REFERENCE
"hostile": only one answer per call is checked, on every tenth field
("hostile-all": on all). "@LIST" names files.
FLAVOUR "portable" runs REFERENCE (wide_calls) on the file calls instead.
"""
import codecs
import json
import re
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "module"))
from check_strings_agree import FIELDS, expected, fold  # noqa: E402

PLAIN = FIELDS[:9] + ["companyname", ""]  # as query_versions asks them
EX = FIELDS + ["FileVersionNumber", "ProductVersionNumber", "companyname", "Unknown"]


def export_cases(cases):
    text = Path(cases).read_text()
    split = text.index("kNormalizeCases[]")
    calls = []
    for row in re.finditer(r'\{"((?:[^"\\]|\\.)*)", "((?:[^"\\]|\\.)*)"(, false)?\}', text):
        first, second = (codecs.decode(s, "unicode_escape") for s in row.group(1, 2))
        items = [s.strip(" \t\n\v\f\r") for s in first.split(",")]
        if row.start() < split and len(items) >= 2:
            calls.append(("CompareVersions", items[0], items[1], second))
        elif row.start() > split and not row.group(3) and not re.search("[\r\n]", first):
            calls.append(("NormalizeMSIEVersion", first, "", second))
    return calls


def wide_answer(strings, rule, field):
    """The file's own text as the rule picks it (both answers where --strings
    cannot tell a string of length 0 from one holding only its terminator)."""
    fixed = strings["fixed"] or {}
    if rule == "GetFileVersionEx":
        number = {"FILEVERSIONNUMBER": "FileVersion", "PRODUCTVERSIONNUMBER": "ProductVersion"}
        return fixed.get(number[fold(field)], "") if fold(field) in number else \
            expected(strings, field, None)
    name = next((f for f in FIELDS[:8] if fold(f) == fold(field or "FileVersion")), None)
    table = next((t for t in strings["tables"]
                  if t["info"] == 1 and fold(t["translation"]) == "040904E4"),
                 {"strings": []})
    value = next((v[1] for v in table["strings"] if fold(v[0]) == fold(name or "-")), None)
    if name == "FileVersion" and not value:
        product = fixed.get("ProductVersion", "")
        return product if value is None else ("", product)
    return value or ""


def references(flavour, reference, qvhost, files, work):
    answers = {}
    if flavour == "x86-ansi":
        (work / "files.txt").write_text("".join(f"{f}\n" for f in files))
        out = subprocess.run(["bash", str(HERE.parent.parent / "cmake" / "wine-run.sh"), reference,
                              "--exports", str(work / "files.txt")], stdout=subprocess.PIPE)
        for line in out.stdout.decode("latin-1").split("\n"):
            if line.startswith("FILE "):
                path = files[int(line.split()[1])]
            elif "\t" in line and not line.startswith("\t"):  # the export's "" is unknown
                key, value = line.split("\t", 1)
                rule = "GetFileVersionEx" if key.startswith("ex ") else "GetFileVersion"
                text = bytes.fromhex(value).decode("cp1252", "replace")
                answers[(path, rule, key.removeprefix("ex "))] = text
                if key == "FileVersion":  # the plug-in reads no field as FileVersion
                    answers[(path, rule, "")] = answers[(path, rule, key)]
        return answers
    for start in range(0, len(files), 200):
        out = subprocess.run([qvhost, "--json", "--strings"] + files[start:start + 200],
                             stdout=subprocess.PIPE).stdout.decode()
        for path, line in zip(files[start:start + 200], out.split("\n")):
            for rule, fields in (("GetFileVersion", PLAIN), ("GetFileVersionEx", EX)):
                answers.update({(path, rule, f): wide_answer(json.loads(line), rule, f)
                                for f in fields})
    return answers


def cut(text, wide):  # what the installer's string size of 1024 leaves
    units = text.encode("utf-16-le", "surrogatepass")[:2046] if wide else text[:1023]
    if wide and len(units) == 2046 and 0xD8 <= units[-1] < 0xDC:
        units = units[:-2]
    return units.decode("utf-16-le", "replace") if wide else units


def run(flavour, plugins, reference, work):
    if flavour == "portable":
        return subprocess.run([reference, work / "calls.txt", work / "answers.txt"]).returncode
    exe = work / f"calls-{flavour}.exe"
    build = subprocess.run(["makensis", "-V2", f"-DTARGET={flavour}", f"-DOUTFILE={exe}",
                            f"-DPLUGINS={Path(plugins).resolve()}", HERE / "calls.nsi"])
    return build.returncode or subprocess.run(["bash", HERE.parent.parent / "cmake" / "wine-run.sh",
                                               exe, "/S"]).returncode


def main(flavour, plugins, work, reference, qvhost, cases, *paths):
    work, wide, portable = Path(work), "unicode" in flavour, flavour == "portable"
    work.mkdir(parents=True, exist_ok=True)
    hostile, wide = reference.startswith("hostile"), wide or portable
    skip = ["slow_files.txt"] + (["differences_64bit.txt"] if "amd64" in flavour else [])
    skip = {line for name in skip for line in (HERE.parent / "wine" / name).read_text().split("\n")}
    paths = [q for p in paths for q in (Path(p[1:]).read_text().split("\n")[:-1] if p[0] == "@"
                                        else [p])]
    files = sorted(str(f) for p in map(Path, paths) for f in (p.iterdir() if p.is_dir() else [p])
                   if f.is_file() and f.name not in skip and (wide or str(f).isascii()))
    calls = [] if hostile or portable else export_cases(cases) + [
        ("IsQarvellClientRunning", "", "", "0")]
    for f in files:
        for rule, fields in (("GetFileVersion", PLAIN), ("GetFileVersionEx", EX)):
            fields = fields[::10] if reference == "hostile" else fields
            calls += [(rule, f, field, None) for field in fields]
    name = (lambda f: f) if portable else (lambda f: "Z:" + f.replace("/", "\\"))
    listing = "".join(f"{fn}\n{name(a) if want is None else a}\n{b}\n"
                      for fn, a, b, want in calls)
    (work / "calls.txt").write_text(listing, "utf-8" if portable else "utf-16-le" if wide else
                                    "cp1252")
    (work / "answers.txt").unlink(missing_ok=True)
    began = time.monotonic()
    status = run(flavour, plugins, reference, work)
    seconds = time.monotonic() - began
    raw = (work / "answers.txt").read_bytes() if (work / "answers.txt").exists() else b""
    records = raw.decode("utf-16-le" if wide else "cp1252", "replace").split("\0")[:-1]
    want_of = {} if hostile else references(flavour, reference, qvhost, files, work)
    bad = outside = 0
    for (function, first, second, want), record in zip(calls, records):
        answer = record[2:]
        if want is None and not hostile:
            want = want_of.get((first, function, second), "<no reference>")
            want = want if portable else tuple(cut(w, wide) for w in want) \
                if isinstance(want, tuple) else cut(want, wide)
        problems = ["the stack changed"] * (record[1] != "1") + \
            [f"error flag {record[0]}"] * (record[0] != "01"[answer == ""])
        if not hostile and answer not in (want if isinstance(want, tuple) else (want,)):
            problems.append(f"answer {answer[:80]!r}, expected {str(want)[:80]!r}")
        outside += not problems and any(not c.encode("cp1252", "ignore") for c in answer)
        bad += bool(problems)
        if problems and bad <= 40:
            print(f"FAIL: {function} {first} {second}: {'; '.join(problems)}")
    if status != 0 or len(records) != len(calls):
        bad += 1
        print(f"FAIL: status {status} after {len(records)} of {len(calls)} calls")
    if wide and not hostile and not outside:
        bad += 1
        print("FAIL: no answer outside code page 1252 was checked")
    print(f"{flavour}: {len(files)} files, {len(calls)} calls in {seconds:.1f} s, {bad} failed, "
          f"{outside} answers outside code page 1252")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
