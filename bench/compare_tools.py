#!/usr/bin/env python3
"""Reading one version field: the portable build against other readers.

    bench/compare_tools.py [FIELD]        (default field: FileVersion)

Builds the native and win32 presets, picks three of Wine's own 32-bit DLLs
(the smallest, the median and the largest by size among those on which
GetFileVersion answers FIELD), copies them into a temporary folder with two
more copies of the smallest that carry 64 MiB and 512 MiB of appended bytes,
and measures, one after the other in this run, the median cost of one query:

  ours      QueryVersionField in-process (bench_query_files)
  floor     open, pread the small file's size in bytes, close (the same program)
  Wine      GetFileVersionInfoSizeA/GetFileVersionInfoA/VerQueryValueA under
            Wine, in-process (bench_wine_version.exe)
  pefile    fast load of the resource directory, in-process (bench_pefile.py)
  exiftool  one batch call over the file listed many times, wall time per file

Each tool runs pinned to CPU 1. Then bench_strings.py times whole runs of
qvhost --strings over about 100 files beside --fields, exiftool and pefile,
and bench_tree.py whole runs over a tree of 30,000 files on two CPUs.
Prints the tables and writes docs/benchmarks.md and docs/benchmarks.png
(gnuplot).
"""
import datetime
import glob
import os
import platform
import shutil
import subprocess
import sys
import tempfile
import time

import bench_strings
import bench_tree

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PIN = ["taskset", "-c", "1"]
# pefile comes from Debian's package, for the system's Python.
SYSTEM_PYTHON = "/usr/bin/python3"

NATIVE_QUERIES = 5000
WINE_QUERIES = 1000
PEFILE_QUERIES = 300
EXIFTOOL_BATCH = 200
APPENDED_MIB = (64, 512)

TOOLS = ["ours", "floor", "Wine", "pefile", "exiftool"]


def log(text):
    print(f"compare_tools: {text}", file=sys.stderr, flush=True)


def run(command, **kwargs):
    return subprocess.run(command, check=True, text=True, stdout=subprocess.PIPE, **kwargs).stdout


def build():
    with open(os.path.join(ROOT, "build", "compare-build.log"), "w") as out:
        for preset in ("native", "win32"):
            # The native build makes the benchmarks only when asked to.
            options = ["-DQV_BUILD_BENCH=ON"] if preset == "native" else []
            if options or not os.path.exists(os.path.join(ROOT, "build", preset, "CMakeCache.txt")):
                subprocess.run(["cmake", "--preset", preset] + options, cwd=ROOT, check=True,
                               stdout=out, stderr=subprocess.STDOUT)
            subprocess.run(["cmake", "--build", "--preset", preset], cwd=ROOT, check=True,
                           stdout=out, stderr=subprocess.STDOUT)


def native_program():
    return os.path.join(ROOT, "build", "native", "bin", "bench_query_files")


def wine_dlls():
    """The 32-bit folder of Wine's DLLs among the native build's QV_WINE_DLL_DIRS."""
    for folder in bench_strings.wine_folders():
        if folder.endswith("i386-windows"):
            return folder
    sys.exit("compare_tools: no 32-bit folder of Wine's DLLs in QV_WINE_DLL_DIRS")


def pick_files(field):
    """Smallest, median and largest of Wine's DLLs that answer `field`."""
    candidates = sorted(glob.glob(os.path.join(wine_dlls(), "*.dll")))
    answered = []
    for line in run([native_program(), "--check", field] + candidates).splitlines():
        path, _, answer = line.partition("\t")
        if answer:
            answered.append((os.path.getsize(path), path))
    if len(answered) < 3:
        sys.exit(f"compare_tools: only {len(answered)} of Wine's DLLs answer {field}")
    answered.sort()
    return [answered[0][1], answered[len(answered) // 2][1], answered[-1][1]]


def make_files(folder, wine_files):
    """Copies into `folder`: (label, path) for each file measured."""
    files = []
    for label, source in zip(("smallest", "median", "largest"), wine_files):
        target = os.path.join(folder, os.path.basename(source))
        shutil.copyfile(source, target)
        files.append((f"{os.path.basename(source)} ({label})", target))
    small = files[0][1]
    zeros = bytes(1 << 20)
    for mib in APPENDED_MIB:
        target = os.path.join(folder, f"{mib}MiB-appended-{os.path.basename(small)}")
        shutil.copyfile(small, target)
        with open(target, "ab") as out:
            for _ in range(mib):
                out.write(zeros)
        files.append((f"{os.path.basename(small)} + {mib} MiB", target))
    return files


def parse(output, tag):
    """{path: (ns, answer)} from the programs' tab-separated lines."""
    result = {}
    for line in output.splitlines():
        parts = line.split("\t")
        if len(parts) == 4 and parts[0] == tag:
            result[parts[1]] = (int(parts[2]), parts[3])
    return result


def measure_native(field, paths):
    small_size = os.path.getsize(paths[0])
    output = run(PIN + [native_program(), "--queries", str(NATIVE_QUERIES),
                        "--floor-bytes", str(small_size), field] + paths)
    return parse(output, "ours"), parse(output, "floor")


def measure_wine(field, paths):
    program = os.path.join(ROOT, "build", "win32", "bin", "bench_wine_version.exe")
    # The runner sets up Wine's environment and prefix (cmake/wine-env.sh).
    runner = os.path.join(ROOT, "cmake", "wine-run.sh")
    # A first call starts Wine's server and services, pinned as well.
    run(PIN + [runner, program, "--queries", "1", field, paths[0]], stderr=subprocess.DEVNULL)
    output = run(PIN + [runner, program, "--queries", str(WINE_QUERIES), field] + paths)
    return parse(output, "wine")


def measure_pefile(field, paths):
    script = os.path.join(ROOT, "bench", "bench_pefile.py")
    output = run(PIN + [SYSTEM_PYTHON, script, "--queries", str(PEFILE_QUERIES), field] + paths)
    return parse(output, "pefile")


def measure_pefile_full_load(field, path):
    script = os.path.join(ROOT, "bench", "bench_pefile.py")
    output = run(PIN + [SYSTEM_PYTHON, script, "--full-load", field, path])
    return parse(output, "pefile-full")[path]


def measure_exiftool(field, paths):
    """Wall time of one batch call over the file listed EXIFTOOL_BATCH times,
    divided by that number."""
    result = {}
    for path in paths:
        start = time.perf_counter_ns()
        output = run(PIN + ["exiftool", "-s", "-s", "-s", f"-{field}"] + [path] * EXIFTOOL_BATCH)
        elapsed = time.perf_counter_ns() - start
        answers = [line for line in output.splitlines()
                   if not line.startswith("========") and "image files read" not in line]
        if len(answers) != EXIFTOOL_BATCH or len(set(answers)) != 1:
            sys.exit(f"compare_tools: exiftool gave {len(answers)} answers for {path}")
        result[path] = (elapsed // EXIFTOOL_BATCH, answers[0].strip())
    return result


def micro(ns):
    us = ns / 1000
    return f"{us:.1f}" if us < 100 else f"{us:,.0f}"


def ratio_text(value):
    return f"{value:.2f}x" if value < 10 else f"{value:,.0f}x"


def machine():
    model = "unknown"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return {
        "CPUs (nproc)": run(["nproc"]).strip(),
        "CPU model": model,
        "kernel": platform.release(),
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "command": "./qv bench",
    }


def tables(field, files, results, full_load):
    """The markdown table, the goal lines and the answers."""
    header = ("| file | size | ours | floor | Wine | pefile | exiftool "
              "| ours/floor | Wine/ours | pefile/ours | exiftool/ours |")
    lines = [header, "|" + "---|" * 11]
    for label, path in files:
        ns = {tool: results[tool][path][0] for tool in TOOLS}
        ours = ns["ours"]
        lines.append(
            f"| {label} | {os.path.getsize(path):,} | "
            + " | ".join(micro(ns[tool]) for tool in TOOLS) + " | "
            + " | ".join(ratio_text(r) for r in (ours / ns["floor"], ns["Wine"] / ours,
                                                    ns["pefile"] / ours, ns["exiftool"] / ours))
            + " |")
    # Each goal holds on every file: the worst ratio and its file.
    def worst(ratio, pick):
        value, label = pick(((ratio(path), label) for label, path in files),
                            key=lambda item: item[0])
        return value, f"at worst, on {label}"

    def time_of(tool, path):
        return results[tool][path][0]

    small, big = files[0][1], files[-1][1]
    goals = [
        ("ours / floor", *worst(lambda p: time_of("ours", p) / time_of("floor", p), max), "<=", 2),
        ("Wine / ours", *worst(lambda p: time_of("Wine", p) / time_of("ours", p), min), ">=", 50),
        ("pefile (fast load) / ours",
         *worst(lambda p: time_of("pefile", p) / time_of("ours", p), min), ">=", 100),
        ("exiftool (batch, per file) / ours",
         *worst(lambda p: time_of("exiftool", p) / time_of("ours", p), min), ">=", 250),
        (f"ours on {files[-1][0]} / ours on {files[0][0]}",
         time_of("ours", big) / time_of("ours", small), "", "<=", 1.2),
    ]
    goal_lines = []
    for name, value, where, sense, goal in goals:
        met = value <= goal if sense == "<=" else value >= goal
        goal_lines.append(f"- {name}: {ratio_text(value)}{' ' + where if where else ''} "
                          f"(goal {sense} {goal}x): " + ("met" if met else "missed"))
    goal_lines.append(
        f"- pefile with its default full load on {files[-1][0]}, once: "
        f"{full_load[0] / 1e9:.1f} s")
    answers = [f"- {tool}: {results[tool][small][1]!r}" for tool in TOOLS if tool != "floor"]
    return lines, goal_lines, answers


def write_plot(folder, field, files, results, png):
    data = os.path.join(folder, "plot.dat")
    by_size = sorted(files, key=lambda item: os.path.getsize(item[1]))
    with open(data, "w") as out:
        for tool in TOOLS:
            out.write(f'"{tool}"\n')
            for _, path in by_size:
                out.write(f"{os.path.getsize(path)} {results[tool][path][0] / 1000}\n")
            out.write("\n\n")
    script = f"""
set terminal pngcairo size 900,560 font ",10"
set output "{png}"
set title "Reading {field} of a version resource: median cost of one query"
set xlabel "file size (bytes)"
set ylabel "microseconds per query"
set logscale xy
set format x "10^{{%L}}"
set format y "10^{{%L}}"
set grid
set key outside right
plot for [i=0:{len(TOOLS) - 1}] "{data}" index i using 1:2 with linespoints title columnheader(1)
"""
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


def main():
    field = sys.argv[1] if len(sys.argv) > 1 else "FileVersion"
    for tool in ("taskset", "exiftool", "gnuplot", "wine"):
        if shutil.which(tool) is None:
            sys.exit(f"compare_tools: {tool} is missing (./qv setup installs it)")
    log("building the native and win32 presets")
    build()
    wine_files = pick_files(field)
    folder = tempfile.mkdtemp(prefix="qv-compare-")
    try:
        files = make_files(folder, wine_files)
        paths = [path for _, path in files]
        results = {}
        log("measuring the portable build and the floor")
        results["ours"], results["floor"] = measure_native(field, paths)
        log("measuring Wine's version functions")
        results["Wine"] = measure_wine(field, paths)
        log("measuring pefile")
        results["pefile"] = measure_pefile(field, paths)
        log("measuring exiftool")
        results["exiftool"] = measure_exiftool(field, paths)
        log("pefile's full load of the largest file, once")
        full_load = measure_pefile_full_load(field, paths[-1])
        for tool in TOOLS:
            missing = [path for path in paths if path not in results[tool]]
            if missing:
                sys.exit(f"compare_tools: no result from {tool} for {missing}")
        # Both do what GetFileVersion does, so they must give the same text.
        for path in paths:
            if results["ours"][path][1] != results["Wine"][path][1]:
                sys.exit(f"compare_tools: ours and Wine differ on {path}: "
                         f"{results['ours'][path][1]!r} and {results['Wine'][path][1]!r}")
        table, goals, answers = tables(field, files, results, full_load)
        png = os.path.join(ROOT, "docs", "benchmarks.png")
        os.makedirs(os.path.dirname(png), exist_ok=True)
        write_plot(folder, field, files, results, png)
        log("measuring every string of about 100 files (bench_strings.py)")
        strings = bench_strings.section()
        log("measuring a tree of 30,000 files (bench_tree.py)")
        strings += "\n\n" + bench_tree.section()
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    print(f"\nReading {field}: median microseconds per query, same run\n")
    print("\n".join(table))
    print()
    print("\n".join(goals), flush=True)
    print(strings, flush=True)
    write_markdown(field, table, goals, answers, strings)
    log("wrote docs/benchmarks.md and docs/benchmarks.png")


MARKER = "<!-- Written by bench/compare_tools.py from here on. -->"


def write_markdown(field, table, goals, answers, strings):
    facts = machine()
    text = f"""## Readers compared

Reading one field (`{field}`) of a PE version resource, as `GetFileVersion`
does: the median cost of one query in microseconds, every column measured
in the same run of `bench/compare_tools.py`, each tool pinned to CPU 1.

- **ours**: `QueryVersionField` of the portable build, in-process
  (`bench/bench_query_files.cpp`, {NATIVE_QUERIES} queries per file).
- **floor**: open the file, `pread` as many bytes as the smallest file has,
  close (the same program, taking turns with the queries).
- **Wine**: `GetFileVersionInfoSizeA`, `GetFileVersionInfoA`,
  `VerQueryValueA` under Wine, timed in-process with
  `QueryPerformanceCounter` (`bench/bench_wine_version.cpp`, {WINE_QUERIES} queries).
- **pefile**: `pefile.PE(path, fast_load=True)` and the resource directory
  only, in-process (`bench/bench_pefile.py`, {PEFILE_QUERIES} queries).
- **exiftool**: one call over the file listed {EXIFTOOL_BATCH} times, wall
  time divided by {EXIFTOOL_BATCH} (start-up included).

The files are the smallest, the median and the largest of Wine's 32-bit
DLLs on which the query answers, and copies of the smallest with zero bytes
appended (the two largest sizes in the plot). Wine's DLLs keep their strings
in the 040904B0 table, which `GetFileVersion` does not read, so
`CompanyName` and `ProductVersion` have no answer there; `FileVersion` falls
back to the fixed record's product version and answers on all of them.

{chr(10).join(table)}

{chr(10).join(goals)}

Answers on the smallest file:

{chr(10).join(answers)}

Machine:

{chr(10).join(f"- {key}: {value}" for key, value in facts.items())}

![per-query cost against file size](benchmarks.png)

{strings}
"""
    # The page's first part is written by hand; this run replaces what
    # follows the marker.
    path = os.path.join(ROOT, "docs", "benchmarks.md")
    head = ""
    if os.path.exists(path):
        with open(path) as page:
            head = page.read().split(MARKER)[0]
    with open(path, "w") as out:
        out.write(head + MARKER + "\n\n" + text)


if __name__ == "__main__":
    main()
