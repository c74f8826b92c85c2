#!/usr/bin/env python3
"""Every string of about 100 real files: qvhost --strings beside other readers.

    bench/bench_strings.py [--write]

Takes the fixtures built by the native preset that carry version
information and Wine's own DLLs that carry it (spread evenly by size over
both folders of QV_WINE_DLL_DIRS), 100 files in all, and times whole runs
over all of them, each pinned to CPU 1, the median of RUNS:

  --strings  qvhost --json --strings FILE...   (every table, key and value)
  --fields   qvhost --json --fields FILE...    (14 GetFileVersionEx calls a file)
  exiftool   exiftool -json FILE...
  pefile     bench_pefile.py --all-strings FILE... (fast load, resources only)

Prints the markdown section; --write puts it in docs/benchmarks.md between
its markers. compare_tools.py (./qv bench) calls section() for the page.
"""
import json
import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PIN = ["taskset", "-c", "1"]
SYSTEM_PYTHON = "/usr/bin/python3"
FILES = 100
RUNS = 7
BEGIN = "<!-- bench_strings.py: begin -->"
END = "<!-- bench_strings.py: end -->"


def qvhost():
    return os.path.join(ROOT, "build", "native", "bin", "qvhost")


def wine_folders():
    with open(os.path.join(ROOT, "build", "native", "CMakeCache.txt")) as cache:
        for line in cache:
            if line.startswith("QV_WINE_DLL_DIRS:"):
                return [f for f in line.split("=", 1)[1].strip().split(";") if os.path.isdir(f)]
    return []


def with_version(paths):
    out = subprocess.run([qvhost(), "--json", "--strings"] + paths, stdout=subprocess.PIPE).stdout
    return [json.loads(line)["file"] for line in out.decode().split("\n")
            if line and json.loads(line)["status"] == "ok"]


def pick_files():
    fixtures = os.path.join(ROOT, "build", "native", "fixtures")
    chosen = with_version(sorted(os.path.join(fixtures, f) for f in os.listdir(fixtures)))
    wine = []
    for folder in wine_folders():
        wine += with_version(sorted(os.path.join(folder, f) for f in os.listdir(folder)
                                    if f.endswith(".dll")))
    wine.sort(key=os.path.getsize)
    want = FILES - len(chosen)
    if len(wine) < want:
        sys.exit(f"bench_strings: only {len(wine)} of Wine's DLLs carry version information")
    return chosen + [wine[i * len(wine) // want] for i in range(want)]


def whole_run(command):
    """Median wall time of RUNS whole runs, in seconds; the output of one."""
    times, output = [], b""
    for _ in range(RUNS):
        start = time.perf_counter()
        output = subprocess.run(PIN + command, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL).stdout
        times.append(time.perf_counter() - start)
    return statistics.median(times), output


def measure(files):
    pefile = [SYSTEM_PYTHON, os.path.join(ROOT, "bench", "bench_pefile.py"), "--all-strings"]
    commands = {
        "--strings": [qvhost(), "--json", "--strings"],
        "--fields": [qvhost(), "--json", "--fields"],
        "exiftool": ["exiftool", "-json"],
        "pefile": pefile,
    }
    results = {}
    for name, command in commands.items():
        results[name], output = whole_run(command + files)
        if output.count(b"\n") < len(files) // 2 and name != "exiftool":
            sys.exit(f"bench_strings: {name} answered on too few files")
    return results


def section(files=None):
    files = files or pick_files()
    results = measure(files)
    ours = results["--strings"]
    size = sum(os.path.getsize(f) for f in files)
    lines = ["| reader | whole run (ms) | per file (ms) | / --strings |", "|---|---|---|---|"]
    for name, seconds in results.items():
        lines.append(f"| {name} | {seconds * 1e3:,.1f} | {seconds * 1e3 / len(files):.3f} "
                     f"| {seconds / ours:,.1f}x |")
    goals = [("exiftool", 50), ("pefile", 10)]
    goal_lines = [f"- {name} / --strings: {results[name] / ours:,.1f}x (goal >= {goal}x): "
                  + ("met" if results[name] / ours >= goal else "missed") for name, goal in goals]
    return f"""{BEGIN}
## Every string of {len(files)} files

`qvhost --strings` (every table, key and value, and the fixed record) on
{len(files)} real files: the fixtures that carry version information and
Wine's DLLs that do, spread evenly by size ({size / 1e6:.1f} MB in all),
beside `qvhost --fields` (fourteen `GetFileVersionEx` calls a file),
`exiftool -json` and pefile (`bench_pefile.py --all-strings`: fast load,
the resource directory only, every string table). Each is one whole run
over all the files, start-up included, pinned to CPU 1; the median of
{RUNS} runs (`bench/bench_strings.py`). `--strings` opens and reads each
file's block once.

{chr(10).join(lines)}

{chr(10).join(goal_lines)}
{END}"""


def write(text, begin=BEGIN, end=END):
    """Puts text in docs/benchmarks.md between the markers begin and end."""
    path = os.path.join(ROOT, "docs", "benchmarks.md")
    with open(path) as page:
        old = page.read()
    if begin in old:
        old = old[:old.index(begin)] + text + old[old.index(end) + len(end):]
    else:
        old = old.rstrip("\n") + "\n\n" + text + "\n"
    with open(path, "w") as page:
        page.write(old)


if __name__ == "__main__":
    result = section()
    print(result)
    if "--write" in sys.argv[1:]:
        write(result)
