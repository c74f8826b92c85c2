#!/usr/bin/python3
"""qvhost --strings against pefile's reading of the same version resources.

    bench/compare_pefile_strings.py QVHOST FILE_OR_FOLDER...

pefile (Debian's python3-pefile, for the system's Python) is an independent
reader: for each file, its StringFileInfo tables (LangID and entries), the
Translation list and the fixed record's file version are set beside what
qvhost --json --strings gives. Prints one line per file that differs, with
what differs, and a count per kind of difference. Not a test: the notes in
docs/benchmarks.md say which reader is right on each.
"""
import collections
import json
import subprocess
import sys
from pathlib import Path

import pefile


def ours(qvhost, files):
    result = {}
    for start in range(0, len(files), 200):
        batch = files[start:start + 200]
        out = subprocess.run([qvhost, "--json", "--strings"] + batch, stdout=subprocess.PIPE).stdout
        for line in out.decode("utf-8").split("\n"):
            if line:
                item = json.loads(line)
                result[item["file"]] = item
    return result


def text(value):
    # pefile gives UTF-8 bytes, with unpaired surrogates escaped.
    return value.decode("utf-8", "backslashreplace") if isinstance(value, bytes) else value


def theirs(path):
    """For each version resource pefile reads: (tables, translations, file
    version); or why it reads none."""
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError as error:
        return f"pefile refuses the file: {error.value}"
    resources = []
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None) or []
    for index, info in enumerate(getattr(pe, "FileInfo", None) or []):
        tables, translations, version = [], [], ""
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                tables.append((text(table.LangID).upper(),
                               [(text(k), text(v)) for k, v in table.entries.items()]))
            for var in getattr(entry, "Var", []):
                for pairs in var.entry.values():
                    # "0x0409 0x04b0", entries one blank apart
                    translations += ["%04X%04X" % tuple(int(x, 16) for x in pair.split())
                                     for pair in [pairs[i:i + 13]
                                                  for i in range(0, len(pairs), 14)]]
        if index < len(fixed):
            ms, ls = fixed[index].FileVersionMS, fixed[index].FileVersionLS
            version = f"{ms >> 16}.{ms & 0xffff}.{ls >> 16}.{ls & 0xffff}"
        resources.append((tables, translations, version))
    pe.close()
    return resources


def differences(mine, other):
    if isinstance(other, str):
        return [other] if mine["status"] == "ok" else []
    if not other:
        return ["pefile finds no version resource"] if mine["status"] == "ok" else []
    found = []
    names = [t["translation"].upper() for t in mine["tables"]]
    if len(other) > 1:
        found.append(f"several version resources: pefile reads {len(other)}, qvhost the one "
                     "GetFileVersionInfo picks")
    tables, translations, version = next((r for r in other if [n for n, _ in r[0]] == names),
                                         other[0])
    ours_tables = [(t["translation"].upper(), [(s[0], s[1]) for s in t["strings"]])
                   for t in mine["tables"]]
    # pefile keeps one value per key, the last, where the file's first came.
    deduplicated = []
    for name, strings in ours_tables:
        last = dict(strings)
        deduplicated.append((name, [(k, last[k]) for k in dict.fromkeys(k for k, _ in strings)]))
    if [n for n, _ in deduplicated] != [n for n, _ in tables]:
        found.append(f"tables: ours {[n for n, _ in deduplicated]}, pefile {[n for n, _ in tables]}")
    for (name, a), (_, b) in zip(deduplicated, tables):
        for (key, value), (other_key, other_value) in zip(a, b):
            if (key, value) != (other_key, other_value):
                found.append(f"{name}: ours {key}={value!r}, pefile {other_key}={other_value!r}")
                break
        if len(a) != len(b):
            found.append(f"{name}: ours {len(a)} strings, pefile {len(b)}")
    if mine["translations"] != translations:
        found.append(f"translations: ours {mine['translations']}, pefile {translations}")
    if (mine["fixed"] or {}).get("FileVersion", "") != version:
        found.append(f"fixed FileVersion: ours {(mine['fixed'] or {}).get('FileVersion')!r}, "
                     f"pefile {version!r}")
    return found


def main(qvhost, *paths):
    files = sorted(str(f) for p in map(Path, paths) for f in (p.iterdir() if p.is_dir() else [p])
                   if f.is_file())
    mine = ours(qvhost, files)
    kinds = collections.Counter()
    for path in files:
        found = differences(mine[path], theirs(path))
        for line in found:
            print(f"{path}: {line}")
            kinds[line.split(":")[0] if not line.startswith("pefile refuses") else line] += 1
    print(f"{len(files)} files, {sum(1 for p in files if mine[p]['status'] == 'ok')} with "
          f"version information (qvhost)")
    for kind, count in kinds.most_common():
        print(f"  {count:4} {kind}")


if __name__ == "__main__":
    main(*sys.argv[1:])
