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

    bench_pefile.py --tree [-j N] FOLDER

walks FOLDER (symbolic links not followed), tries every regular file with
pefile's fast load and the resource directory only, on N processes
(default 1), and prints one JSON line for each file pefile reads as a PE
image, in walk order: {"file": ..., "CompanyName": ..., "ProductVersion":
...}, each the first string table's value that is not empty, or null.
bench_tree.py times the whole run.
"""
import json
import multiprocessing
import os
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


def tree_files(folder):
    with os.scandir(folder) as entries:
        for entry in sorted(entries, key=lambda e: e.name):
            if entry.is_dir(follow_symlinks=False):
                yield from tree_files(entry.path)
            elif entry.is_file(follow_symlinks=False):
                yield entry.path


TREE_FIELDS = ("CompanyName", "ProductVersion")


def tree_answers(path):
    """The JSON line for one file, or None when pefile does not take it as PE."""
    try:
        pe = pefile.PE(path, fast_load=True)
        pe.parse_data_directories(
            directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    except pefile.PEFormatError:
        return None
    except Exception as error:  # a damaged file pefile fails on, not a PE answer
        return json.dumps({"file": path, "error": repr(error)})
    answers = {"file": path}
    for field in TREE_FIELDS:
        try:
            answers[field] = string_value(pe, field)
        except Exception:
            answers[field] = None
    pe.close()
    return json.dumps(answers)


def tree(folder, workers):
    out = sys.stdout
    if workers == 1:
        lines = map(tree_answers, tree_files(folder))
        for line in lines:
            if line:
                out.write(line + "\n")
        return 0
    with multiprocessing.Pool(workers) as pool:
        for line in pool.imap(tree_answers, tree_files(folder), chunksize=32):
            if line:
                out.write(line + "\n")
    return 0


def main(argv):
    if argv[1:2] == ["--tree"]:
        args = argv[2:]
        workers = 1
        if args[:1] == ["-j"] and len(args) > 1:
            workers, args = int(args[1]), args[2:]
        if len(args) != 1 or workers < 1:
            print("usage: bench_pefile.py --tree [-j N] FOLDER", file=sys.stderr)
            return 2
        return tree(args[0], workers)
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
