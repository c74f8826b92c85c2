#!/usr/bin/env python3
"""A whole tree: qvhost --fields -r and --strings -r beside other readers.

    bench/bench_tree.py [--write] [--runs N] [--slow-runs N] [--min-files N]

Builds build/bench-tree, at least MIN_FILES files by hard links (copies
where a link cannot be made): Wine's libraries, the fixtures and the
generated files of the native build, and Debian's documentation (the
files that are not images), as many times over as that takes. Reads every
file once to warm the page cache, then times whole runs, pinned to CPUS,
taking turns in rounds:

  --fields -r   qvhost --json --fields -r -j JOBS TREE
  --strings -r  qvhost --json --strings -r -j JOBS TREE
  exiftool      exiftool -r -json -q -q -FIELD... TREE (the same fourteen)
  pefile        bench_pefile.py --tree -j JOBS TREE (fast load, resources only)
  floor         walk_floor -j JOBS TREE (walk, open, read 4 KiB, close)

each RUNS times (exiftool and pefile SLOW_RUNS times, and pefile once on
one process), the median. Then
counts, from the last run's output, the files on which each reader finds a
CompanyName and a ProductVersion, and sorts the files where they differ by
kind. Prints the markdown section; --write puts it in docs/benchmarks.md
between its markers. compare_tools.py (./qv bench) calls section().
"""
import collections
import functools
import json
import os
import resource
import shutil
import statistics
import subprocess
import sys
import time

import bench_strings

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TREE = os.path.join(ROOT, "build", "bench-tree")
OUTPUT = os.path.join(ROOT, "build", "bench-tree-output")
NATIVE = os.path.join(ROOT, "build", "native")
CPUS = "0,1"
JOBS = 2
PIN = ["taskset", "-c", CPUS]
MIN_FILES = 30000
RUNS = 7
SLOW_RUNS = 3
FIELDS = ("CompanyName", "ProductVersion")
# What qvhost --fields prints for each file, asked of exiftool by the same names.
EX_FIELDS = ("FileVersion", "CompanyName", "FileDescription", "InternalName", "LegalCopyright",
             "OriginalFilename", "ProductName", "ProductVersion", "Comments", "LegalTrademarks",
             "PrivateBuild", "SpecialBuild", "FileVersionNumber", "ProductVersionNumber")
BEGIN = "<!-- bench_tree.py: begin -->"
END = "<!-- bench_tree.py: end -->"


def log(text):
    print(f"bench_tree: {text}", file=sys.stderr, flush=True)


def qvhost_tree(mode):
    """qvhost over the whole tree, in one of its modes (--fields, --strings)."""
    qvhost = os.path.join(NATIVE, "bin", "qvhost")
    return [qvhost, "--json", mode, "-r", "-j", str(JOBS), TREE]


def commands():
    pefile = [bench_strings.SYSTEM_PYTHON, os.path.join(ROOT, "bench", "bench_pefile.py")]
    exif_tags = [f"-{field}" for field in EX_FIELDS]
    return {
        "--fields -r": qvhost_tree("--fields"),
        "--strings -r": qvhost_tree("--strings"),
        "exiftool": ["exiftool", "-r", "-json", "-q", "-q"] + exif_tags + [TREE],
        "pefile": pefile + ["--tree", "-j", str(JOBS), TREE],
        "pefile, 1 process": pefile + ["--tree", TREE],
        "floor": [os.path.join(NATIVE, "bin", "walk_floor"), "-j", str(JOBS), TREE],
    }




def rounds_of(name, runs, slow_runs):
    """How many rounds a reader runs in: the slow ones only the first few."""
    return {"exiftool": slow_runs, "pefile": slow_runs, "pefile, 1 process": 1}.get(name, runs)


def generated_files():
    """make_version_files' output (the tests write it; so does this)."""
    folder = os.path.join(NATIVE, "tests", "fileinfo", "version_files")
    os.makedirs(folder, exist_ok=True)
    subprocess.run([os.path.join(NATIVE, "bin", "make_version_files"), folder], check=True,
                   stdout=subprocess.DEVNULL)
    return folder


def sources():
    return [
        ("wine-x86_64", "/usr/lib/x86_64-linux-gnu/wine"),
        ("wine-i386", "/usr/lib/i386-linux-gnu/wine"),
        ("fixtures", os.path.join(NATIVE, "fixtures")),
        ("generated", generated_files()),
        ("doc", "/usr/share/doc"),
    ]


def regular_files(folder):
    """Relative paths of the regular files under folder, links not followed."""
    found = []
    for top, dirs, files in os.walk(folder):
        for name in files:
            path = os.path.join(top, name)
            if os.path.isfile(path) and not os.path.islink(path):
                found.append(os.path.relpath(path, folder))
    return found


def link(source, target):
    os.makedirs(os.path.dirname(target), exist_ok=True)
    try:
        os.link(source, target)
    except OSError:
        shutil.copyfile(source, target)


def build_tree(min_files):
    """The tree, rebuilt, with at least min_files files; returns their number
    and the number of copies."""
    shutil.rmtree(TREE, ignore_errors=True)
    listed = [(label, folder, regular_files(folder)) for label, folder in sources()]
    per_copy = sum(len(files) for _, _, files in listed)
    copies = -(-min_files // per_copy)
    for copy in range(copies):
        for label, folder, files in listed:
            for relative in files:
                link(os.path.join(folder, relative),
                     os.path.join(TREE, str(copy), label, relative))
    return per_copy * copies, copies


def warm():
    """Reads each file of the tree once (each inode once) into the page cache."""
    seen = set()
    for top, _, files in os.walk(TREE):
        for name in files:
            path = os.path.join(top, name)
            info = os.stat(path)
            if (info.st_dev, info.st_ino) in seen:
                continue
            seen.add((info.st_dev, info.st_ino))
            with open(path, "rb") as data:
                while data.read(1 << 20):
                    pass


def cpu_seconds():
    """User and system time of the finished children so far."""
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def time_runs(runs, slow_runs):
    """{name: [wall seconds...]} and {name: [CPU seconds...]}; the outputs of
    each reader's last run in OUTPUT."""
    os.makedirs(OUTPUT, exist_ok=True)
    times, cpu = collections.defaultdict(list), collections.defaultdict(list)
    for round_ in range(runs):
        ran = [name for name in commands() if round_ < rounds_of(name, runs, slow_runs)]
        for name in ran:
            with open(output_path(name), "wb") as out:
                start, start_cpu = time.perf_counter(), cpu_seconds()
                subprocess.run(PIN + commands()[name], stdout=out, stderr=subprocess.DEVNULL)
                times[name].append(time.perf_counter() - start)
                cpu[name].append(cpu_seconds() - start_cpu)
        log(f"round {round_ + 1} of {runs}: " + ", ".join(
            f"{name} {times[name][-1]:.2f} s" for name in ran))
    return times, cpu


def output_path(name):
    return os.path.join(OUTPUT, "".join(c if c.isalnum() else "-" for c in name.strip("-"))
                        + ".out")


def json_lines(name):
    with open(output_path(name), encoding="utf-8", errors="replace") as lines:
        return [json.loads(line) for line in lines if line.strip()]


def image_kind(path):
    """"PE", "NE" or "" from the file's first bytes."""
    try:
        with open(path, "rb") as data:
            head = data.read(64)
            if len(head) < 64 or head[:2] != b"MZ":
                return ""
            data.seek(int.from_bytes(head[60:64], "little"))
            magic = data.read(4)
    except OSError:
        return ""
    return "PE" if magic == b"PE\0\0" else "NE" if magic[:2] == b"NE" else ""


def answers():
    """{reader: {file: {field: text}}} from the last runs' outputs, and
    {file: --strings line}."""
    found = {"qvhost": {}, "exiftool": {}, "pefile": {}}
    for item in json_lines("--fields -r"):
        if item.get("status") == "ok":
            found["qvhost"][os.path.normpath(item["file"])] = item
    strings = {os.path.normpath(item["file"]): item for item in json_lines("--strings -r")}
    with open(output_path("exiftool"), encoding="utf-8", errors="replace") as data:
        # Numbers stay the text exiftool printed.
        text = data.read()
        for item in json.loads(text, parse_float=str, parse_int=str) if text.strip() else []:
            found["exiftool"][os.path.normpath(item["SourceFile"])] = {
                key: str(value) for key, value in item.items()}
    for item in json_lines("pefile"):
        if "error" not in item:
            found["pefile"][os.path.normpath(item["file"])] = item
    return found, strings


def value(found, reader, path, field):
    return (found[reader].get(path) or {}).get(field) or ""


def table_of(strings, field, text):
    """The translations of the tables whose `field` is `text`, in file order."""
    return [table["translation"] for table in strings.get("tables", [])
            if any(entry[0] == field and entry[1] == text for entry in table["strings"])]


@functools.lru_cache(maxsize=None)
def explain_reason(path, field):
    """Why qvhost's GetFileVersionEx(field) of path is empty: the reason
    --explain gives."""
    qvhost = os.path.join(NATIVE, "bin", "qvhost")
    out = subprocess.run([qvhost, "--explain", path, field], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL).stdout.decode("utf-8", "replace")
    for line in out.splitlines():
        if line.startswith(f"GetFileVersionEx({field}): empty: reason="):
            return line.split("reason=", 1)[1].split(" ", 1)[0]
    return "unknown"


def in_code_page_1252(char):
    """Whether Windows' code page 1252 has the character (not a C1 control)."""
    try:
        return not 0x80 <= ord(char) <= 0x9F and bool(char.encode("cp1252"))
    except UnicodeEncodeError:
        return False


def kind(reader, path, field, ours, theirs, strings, read):
    """Why `theirs` (another reader's answer) differs from ours; `read`:
    whether the other reader answered for the file at all."""
    if image_kind(path) == "NE":
        return "a 16-bit (NE) image: not read"
    if not read and reader == "exiftool":
        return "not read: an extension it does not take, or none"
    if not read:
        return "not read: refused as not a PE image"
    if not ours:
        # Each copy of the tree holds the same bytes: ask about the first.
        first_copy = os.path.join(TREE, "0", os.path.relpath(path, TREE).split(os.sep, 1)[1])
        return f"qvhost empty: reason={explain_reason(first_copy, field)}"
    ours_in, theirs_in = table_of(strings, field, ours), table_of(strings, field, theirs)
    first = [table["translation"] for table in strings.get("tables", [])][:1]
    if not theirs:
        if not ours_in and any(entry[0].lower() == field.lower() and entry[0] != field
                               for table in strings.get("tables", [])
                               for entry in table["strings"]):
            return "theirs empty: the key in other letter case"
        if ours_in and ours_in[:1] != first:
            return "theirs empty: ours from a later table than the first"
        return "theirs empty: they refuse the image or block"
    if not theirs_in:
        return "both: theirs not in the block Windows reads"
    if not ours_in and len(ours) == len(theirs) and all(
            a == b or not in_code_page_1252(b) for a, b in zip(ours, theirs)):
        return "both: characters outside code page 1252"
    if not ours_in:
        return "both: the same string, ours cut where Windows cuts it"
    if not set(ours_in) & set(theirs_in):
        return "both: theirs from the first table, ours from the one the translations name"
    return "both: other"


def compare(found, strings):
    """Counts of files with each field, and the differences by kind:
    {(reader, field, kind): [paths]}."""
    counts = {reader: {field: sum(1 for item in files.values() if item.get(field))
                       for field in FIELDS} for reader, files in found.items()}
    for reader, files in found.items():
        counts[reader]["both"] = sum(1 for item in files.values()
                                     if all(item.get(field) for field in FIELDS))
    kinds = collections.defaultdict(list)
    paths = set().union(*(set(files) for files in found.values()))
    for path in sorted(paths):
        for field in FIELDS:
            ours = value(found, "qvhost", path, field)
            for reader in ("exiftool", "pefile"):
                theirs = value(found, reader, path, field)
                if theirs != ours:
                    why = kind(reader, path, field, ours, theirs, strings.get(path, {}),
                               path in found[reader])
                    kinds[(reader, field, why)].append(path)
    return counts, kinds


def shown(command):
    """A command as the page shows it: paths relative to the checkout."""
    words = [os.path.relpath(word, ROOT) if word.startswith(ROOT) else word for word in command]
    words = ["python3" if word == bench_strings.SYSTEM_PYTHON else word for word in words]
    return " ".join(words).replace("|", "\\|")


def ratio(value):
    return f"{value:.2f}x" if value < 10 else f"{value:,.0f}x"


def timing_lines(times, cpu, files):
    median = {name: statistics.median(seconds) for name, seconds in times.items()}
    ours = median["--fields -r"]
    lines = ["| reader | command | whole run (s) | min-max (s) | files/s | / --fields -r "
             "| CPU (s) |", "|---|---|---|---|---|---|---|"]
    for name, command in commands().items():
        seconds = median[name]
        lines.append(f"| {name} | `{shown(command)}` | {seconds:.2f} | "
                     f"{min(times[name]):.2f}-{max(times[name]):.2f} | "
                     f"{files / seconds:,.0f} | {ratio(seconds / ours)} | "
                     f"{statistics.median(cpu[name]):.2f} |")
    goals = [("exiftool / --fields -r", median["exiftool"] / ours, ">=", 100),
             ("pefile (2 processes) / --fields -r", median["pefile"] / ours, ">=", 30),
             ("pefile (1 process) / --fields -r", median["pefile, 1 process"] / ours, ">=", 30),
             ("--fields -r / floor", ours / median["floor"], "<=", 2)]
    cpu_ratio = statistics.median(cpu["--fields -r"]) / statistics.median(cpu["floor"])
    goal_lines = []
    for name, value_, sense, goal in goals:
        met = value_ >= goal if sense == ">=" else value_ <= goal
        goal_lines.append(f"- {name}: {ratio(value_)} (goal {sense} {goal}x): "
                          + ("met" if met else f"missed by {ratio(goal / value_ if sense == '>=' else value_ / goal)}"))
    goal_lines.append(f"- --fields -r / floor in CPU time: {ratio(cpu_ratio)}")
    return lines, goal_lines


def count_lines(found, counts):
    lines = ["| reader | CompanyName | ProductVersion | both |", "|---|---|---|---|"]
    for reader in found:
        lines.append(f"| {reader} | " + " | ".join(
            f"{counts[reader][field]:,}" for field in FIELDS + ("both",)) + " |")
    return lines


# Which reader is right, for each kind of difference (by the kind's start).
RIGHT = {
    "a 16-bit (NE) image": "qvhost: Windows reads the version resource of a 16-bit "
    "image as well; exiftool and pefile read none.",
    "not read: refused": "qvhost: pefile refuses an image whose signature is "
    "\"PE\" followed by other bytes than two zeros; Wine's functions read it.",
    "not read: an extension": "qvhost: by default exiftool reads only the extensions it lists, not "
    ".ocx, .cpl, .sys, .ax, .drv, .tlb, .msstyles nor a name without one; qvhost goes "
    "by the first bytes (`-ext '*'` makes exiftool read them too, three times slower).",
    "qvhost empty": "qvhost: it gives what Windows' version functions give; the "
    "tests hold it to Wine's on every generated file but those in native_only/ "
    "(where Wine would allocate 592 MiB or read past its buffer); for example an image the loader could not "
    "map (headers_unreadable, directory_unreadable), a version resource that is not "
    "resource 1 (no_version_name), a string whose copy would leave the block "
    "(copy_leaves_block), a string only in a table neither the translation list nor "
    "U.S. English names, or past a child that ends the walk (in_no_table, "
    "not_in_table). The others read bytes Windows does not.",
    "theirs empty: ours from a later": "qvhost: exiftool reads only the first string "
    "table; Windows asks the tables the translation list names, then U.S. English.",
    "theirs empty: they refuse": "qvhost: images Windows maps and blocks it reads "
    "though cut short or odd at an edge (a file that ends in its last section or at "
    "its section table, a resource offset that wraps, sections inside a page, a "
    "root without a fixed record or with a length a few bytes off); pefile or "
    "exiftool give up on them (held to Wine's by the tests).",
    "both: theirs not in the block": "qvhost: the image has a second version "
    "resource, in German before U.S. English (merged_pe32*, "
    "languages_german_and_english), and Windows takes the one for the user's "
    "language or U.S. English, the others the first; or the text lies past the "
    "length the block or the string declares (string_value_at_root_length, "
    "strings_binary_typed_char_lengths), where Windows stops and the others read "
    "on to a terminator (held to Wine's by the tests).",
    "both: characters": "the others, for the file's own text: `--fields` answers as "
    "the export does, in code page 1252 with Windows' best fit (Ω to O, Ł to L, "
    "ź to z, 中 and the C1 controls to ?); `--strings` gives the UTF-16 text as "
    "exiftool and pefile do.",
    "theirs empty: the key": "qvhost: Windows finds a key whatever its letter case "
    "(`COMPANYNAME`); exiftool and pefile match it exactly.",
    "both: the same string": "both, as each means it: a string typed binary, "
    "whose bytes Windows' ANSI functions return unconverted, so the text ends at "
    "the first zero byte (\"E\"); qvhost gives what Windows gives (held to Wine's "
    "by the tests), the others the UTF-16 text.",
    "both: theirs from the first": "qvhost: the first table in the file is not the "
    "one Windows reads when the translation list names another.",
}


def source_of(path):
    """The tree's top folder the file comes from (wine-i386, generated, ...)."""
    return os.path.relpath(path, TREE).split(os.sep)[1]


def difference_lines(kinds):
    grouped = collections.defaultdict(lambda: collections.defaultdict(list))
    for (reader, field, why), paths in kinds.items():
        grouped[(reader, why)][field] = paths
    lines = ["| reader | kind | CompanyName | ProductVersion | from | for example |",
             "|---|---|---|---|---|---|"]
    for (reader, why), fields in sorted(grouped.items(),
                                        key=lambda item: -sum(map(len, item[1].values()))):
        paths = [path for field in FIELDS for path in fields.get(field, [])]
        sources = ", ".join(sorted({source_of(path) for path in paths}))
        example = os.path.relpath(paths[0], TREE)
        lines.append(f"| {reader} | {why} | {len(fields.get(FIELDS[0], [])):,} | "
                     f"{len(fields.get(FIELDS[1], [])):,} | {sources} | `{example}` |")
    notes = [f"- {start}...: {text}" for start, text in RIGHT.items()
             if any(why.startswith(start) for _, why in grouped)]
    outside = sorted({f"{reader}: {why}" for (reader, why), fields in grouped.items()
                      if any(source_of(path) != "generated"
                             for paths in fields.values() for path in paths)})
    notes.append("- Outside the generated files (made to sit at the edges of what Windows "
                 "reads) the readers differ only in: " + ("; ".join(outside) or "nothing") + ".")
    return lines, notes


def ensure_built():
    if not os.path.exists(os.path.join(NATIVE, "bin", "walk_floor")):
        subprocess.run(["cmake", "--preset", "native", "-DQV_BUILD_BENCH=ON"], cwd=ROOT,
                       check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", "--preset", "native"], cwd=ROOT, check=True,
                   stdout=subprocess.DEVNULL)


def section(runs=RUNS, slow_runs=SLOW_RUNS, min_files=MIN_FILES):
    for tool in ("taskset", "exiftool"):
        if shutil.which(tool) is None:
            sys.exit(f"bench_tree: {tool} is missing (./qv bench installs it)")
    ensure_built()
    log("building the tree")
    files, copies = build_tree(min_files)
    log(f"{files:,} files ({copies} copies); warming the page cache")
    warm()
    # A first, untimed run of the fast ones; the floor must read every file.
    walked = subprocess.run(PIN + commands()["floor"], stdout=subprocess.PIPE, text=True).stdout
    if f"files={files} read={files} " not in walked:
        sys.exit(f"bench_tree: the floor read {walked.strip()}, not the tree's {files} files")
    subprocess.run(PIN + commands()["--fields -r"], stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    times, cpu = time_runs(runs, slow_runs)
    timings, goals = timing_lines(times, cpu, files)
    found, strings = answers()
    counts, kinds = compare(found, strings)
    differences, notes = difference_lines(kinds)
    images = collections.Counter(image_kind(path) or "other" for path in strings)
    return f"""{BEGIN}
## A whole tree

`bench/bench_tree.py` builds `build/bench-tree`: {files:,} files in {copies}
copies by hard links of Wine's libraries (both architectures), the fixtures,
the generated files and Debian's documentation; `--strings -r` prints
{len(strings):,} of them, those that start as PE or NE images ({images['NE']:,} NE).
Every file is read once before the runs, so the page cache is warm. Each
reader makes one whole run over the tree, start-up included, pinned to CPUs
{CPUS} with {JOBS} workers where it has any (exiftool has none); the readers
take turns, round after round, and the table gives the median of {runs}
runs ({slow_runs} for exiftool and pefile, one for pefile on one process).
exiftool is asked for the fourteen
fields `--fields` prints; it reads only the files whose extension it knows
(`-ext '*'` makes it read all, and take three times as long). pefile
(`bench_pefile.py --tree`) loads each file with its fast load, parses the
resource directory only and takes the first string table's value; it runs
on {JOBS} processes, as qvhost runs {JOBS} workers, and once on one process, as
such a script is usually written. The floor (`bench/walk_floor.cpp`) walks
the tree and opens, reads 4 KiB of and closes every file on {JOBS} threads.
These figures come from a shared 2-core machine, other builds running
beside: the spread (min-max) says how noisy the runs were, and the CPU
time (user and system, the median) is less moved by the others' load than
the whole run's.

{chr(10).join(timings)}

{chr(10).join(goals)}

Files on which each reader finds a `CompanyName` and a `ProductVersion`
(not empty), from the same runs:

{chr(10).join(count_lines(found, counts))}

Where exiftool and pefile differ from `--fields`, file by file, by kind
(files of the tree, so each file counts {copies} times):

{chr(10).join(differences)}

Which is right, kind by kind:

{chr(10).join(notes)}
{END}"""


def main(argv):
    args = argv[1:]
    known = {"--write", "--runs", "--slow-runs", "--min-files"}
    if any(a.startswith("-") and a not in known for a in args):
        sys.exit(__doc__.split("\n\n")[1])

    def option(name, default):
        return int(args[args.index(name) + 1]) if name in args else default

    # --min-files below MIN_FILES is for trying the script out, not for the page.
    runs = option("--runs", RUNS)
    text = section(runs, min(runs, option("--slow-runs", SLOW_RUNS)),
                   option("--min-files", MIN_FILES))
    print(text)
    if "--write" in args:
        bench_strings.write(text, BEGIN, END)


if __name__ == "__main__":
    main(sys.argv)
