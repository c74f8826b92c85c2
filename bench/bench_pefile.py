#!/usr/bin/python3
"""Per-query cost of reading one version field with pefile, in this process.

    bench_pefile.py [--queries N] [--full-load] FIELD FILE...

A query loads the file with pefile's fast load, parses only the resource
directory and takes FIELD from the first string table that has it. Each
query is timed on its own; prints one tab-separated line per file:

    pefile  <file>  <median ns per query>  <answer>

--full-load instead times one default (full) load and the same lookup, once
per file, and prints "pefile-full" lines.

    bench_pefile.py --all-strings FILE...

reads every string table of each file (fast load, resources only) and
prints its file name and number of strings, untimed: bench_strings.py
times the whole run.
"""
import statistics
import sys
import time

import pefile


def string_value(pe, field):
    key = field.encode()
    for info in getattr(pe, "FileInfo", None) or []:
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                if table.entries.get(key):
                    return table.entries[key].decode("utf-8", "replace")
    return None


def query(path, field):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    value = string_value(pe, field)
    pe.close()
    return value


def full_load_query(path, field):
    pe = pefile.PE(path)
    value = string_value(pe, field)
    pe.close()
    return value


def all_strings(path):
    pe = pefile.PE(path, fast_load=True)
    pe.parse_data_directories(
        directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    strings = [(table.LangID, key, value)
               for info in getattr(pe, "FileInfo", None) or [] for entry in info
               for table in getattr(entry, "StringTable", []) for key, value in table.entries.items()]
    pe.close()
    return strings


def main(argv):
    if argv[1:2] == ["--all-strings"]:
        for path in argv[2:]:
            print(f"{path}\t{len(all_strings(path))}")
        return 0
    queries, full_load = 100, False
    args = argv[1:]
    while args and args[0].startswith("--"):
        if args[0] == "--queries" and len(args) > 1:
            queries = int(args[1])
            args = args[2:]
        elif args[0] == "--full-load":
            full_load = True
            args = args[1:]
        else:
            break
    if len(args) < 2 or queries < 1:
        print("usage: bench_pefile.py [--queries N] [--full-load] FIELD FILE...", file=sys.stderr)
        return 2
    field, files = args[0], args[1:]
    status = 0
    for path in files:
        if full_load:
            start = time.perf_counter_ns()
            answer = full_load_query(path, field)
            print(f"pefile-full\t{path}\t{time.perf_counter_ns() - start}\t{answer or ''}")
            continue
        answer = query(path, field)
        if answer is None:
            print(f"bench_pefile: no {field} in {path}", file=sys.stderr)
            status = 1
            continue
        samples = []
        for _ in range(queries):
            start = time.perf_counter_ns()
            query(path, field)
            samples.append(time.perf_counter_ns() - start)
        print(f"pefile\t{path}\t{int(statistics.median_low(samples))}\t{answer}", flush=True)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
