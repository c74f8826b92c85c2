#!/usr/bin/env python3
"""Measures how blind the native tests are to faults nobody chose.

Draws random source mutants (a relational operator changed, && and ||
swapped, + and - swapped, a constant moved by one, a condition negated, a
statement deleted, true and false swapped) from the sources in src/ that the
native build compiles, and runs the tests that run natively on each: those
of the native build, then those of the sanitizer build (native-asan), where
a read past a buffer fails. Killed, survived or not compiled; a kill that
only the sanitizer build makes is marked "(asan)", so that the native
build's own figure can be read off too. A measurement, not a gate: neither ./qv test nor CI runs it.

  tools/mutate/blind_mutants.py [--count N] [--seed S] [--only I,J...]
                                [--scratch DIR] [--list]

The committed tree is copied to a scratch folder (default /tmp/qv-blind) with its own
native and native-asan builds, built once; each mutant then patches one
file, rebuilds what changed and runs the native build's fast tests, its Wine
comparisons, then the sanitizer build's tests, stopping at the first
failure. Results go to DIR/results.tsv as they come.
"""
import argparse
import os
import pathlib
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[2]
RELATIONAL = ["<", "<=", ">", ">=", "==", "!="]
SWAPS = {" && ": [" || "], " || ": [" && "], " + ": [" - "], " - ": [" + "],
         "true": ["false"], "false": ["true"]}
TOKEN = re.compile(r" (<=|>=|==|!=|<|>|&&|\|\||\+|-) |\b(true|false)\b|"
                   r"(?<![\w.])(0x[0-9A-Fa-f]+|\d+)(?:u|U|ull|ULL)?\b")
# The fast tests first: a mutant they kill needs no Wine run.
WINE_TESTS = "wine|mutants_"
# The builds whose tests run natively; the sanitizer build's come last.
PRESETS = ["native", "native-asan"]


def sources(base):
    """The files of src/ that the native build compiles, and their headers,
    but the generated code page table (data taken from Wine, not code)."""
    for path in sorted((base / "src").rglob("*")):
        if (path.suffix in (".cpp", ".h") and "windows" not in path.name and
                path.name != "cp1252_table.h"):
            yield path.relative_to(base)


def code_lines(text):
    """(index, line, starts) of the lines that hold code, not comments or
    directives; starts: whether a statement may start there."""
    previous = "{"
    for i, line in enumerate(text.split("\n")):
        stripped = line.split("//")[0].strip()
        if stripped and not stripped.startswith(("#", "*", "/*")):
            yield i, line, previous.endswith((";", "{", "}", ":"))
            previous = stripped


def line_sites(line, starts):
    """(start, end, replacement, operator) of each mutation in one line."""
    # Text in quotes is blanked out, keeping the columns.
    code = re.sub(r""""(\\.|[^"\\])*"|'(\\.|[^'\\])'""",
                  lambda m: "x" * len(m.group(0)), line.split("//")[0])
    for m in TOKEN.finditer(code):
        if m.group(1):
            op = m.group(1)
            spaced = f" {op} "
            if op in RELATIONAL:
                for other in RELATIONAL:
                    if other != op:
                        yield m.start(), m.end(), f" {other} ", "relational"
            else:
                yield m.start(), m.end(), SWAPS[spaced][0], "swap " + op
        elif m.group(2):
            yield m.start(), m.end(), SWAPS[m.group(2)][0], "true/false"
        else:
            value = int(m.group(3), 0)
            for new in (value + 1, value - 1):
                if new >= 0:
                    text = hex(new) if m.group(3).startswith("0x") else str(new)
                    yield m.start(3), m.end(3), text, "constant"
    for m in re.finditer(r"\b(if|while) \(", code):
        close = matching_paren(code, m.end() - 1)
        if close:
            inner = code[m.end():close]
            yield m.end(), close, f"!({inner})", "negate"
    stripped = code.strip()
    if starts and stripped.endswith(";") and not stripped.startswith(("using", "}")):
        yield 0, len(line), "", "delete"


def matching_paren(code, open_at):
    depth = 0
    for i in range(open_at, len(code)):
        depth += {"(": 1, ")": -1}.get(code[i], 0)
        if depth == 0:
            return i
    return None


def all_sites(base):
    sites = []
    for path in sources(base):
        text = (base / path).read_text()
        for index, line, starts in code_lines(text):
            for start, end, new, op in line_sites(line, starts):
                sites.append((str(path), index, start, end, new, op))
    return sites


def mutate(text, site):
    _, index, start, end, new, _ = site
    lines = text.split("\n")
    lines[index] = lines[index][:start] + new + lines[index][end:]
    return "\n".join(lines)


def run(cmd, cwd, timeout):
    try:
        return subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None


def prepare(scratch):
    """A copy of the tree with its own native build, built once."""
    # The committed tree; only the files that differ are copied, so that the
    # build stays incremental.
    head = scratch.parent / (scratch.name + "-head")
    shutil.rmtree(head, ignore_errors=True)
    head.mkdir(parents=True)
    archive = subprocess.run(["git", "-C", str(ROOT), "archive", "HEAD"], check=True,
                             stdout=subprocess.PIPE).stdout
    subprocess.run(["tar", "-x", "-C", str(head)], input=archive, check=True)
    for path in head.rglob("*"):
        copy = scratch / path.relative_to(head)
        if path.is_file() and (not copy.exists() or copy.read_bytes() != path.read_bytes()):
            copy.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy2(path, copy)
    shutil.rmtree(head)
    if (ROOT / "build/wine").exists() and not (scratch / "build/wine").exists():
        shutil.copytree(ROOT / "build/wine", scratch / "build/wine", symlinks=True)
    for preset in PRESETS:
        if not (scratch / f"build/{preset}/CMakeCache.txt").exists():
            subprocess.run(["cmake", "--preset", preset], cwd=scratch, check=True,
                           stdout=subprocess.DEVNULL)
        subprocess.run(["nice", "cmake", "--build", f"build/{preset}"], cwd=scratch,
                       check=True, stdout=subprocess.DEVNULL)


def verdict(scratch):
    """killed, survived or not compiled, and the first test that failed."""
    for preset in PRESETS:
        build = run(["nice", "cmake", "--build", f"build/{preset}"], scratch, 900)
        if build is None or build.returncode != 0:
            return "not compiled", ""
    for preset, part in (("native", ["-E", WINE_TESTS]), ("native", ["-R", WINE_TESTS]),
                         ("native-asan", [])):
        ctest = ["nice", "ctest", "--test-dir", f"build/{preset}", "-j2", "--stop-on-failure",
                 "--timeout", "120", "-LE", "long"] + part
        result = run(ctest, scratch, 1800)
        mark = " (asan)" if preset != "native" else ""
        if result is None:
            return "killed", "(ctest timed out)" + mark
        if result.returncode != 0:
            failed = re.findall(r"\d+ - (\S+) \(", result.stdout)
            return "killed", (failed[0] if failed else "?") + mark
    return "survived", ""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--count", type=int, default=60)
    parser.add_argument("--seed", type=int, default=27)
    parser.add_argument("--only", default="")
    parser.add_argument("--scratch", default="/tmp/qv-blind")
    parser.add_argument("--list", action="store_true", help="print the draw, run nothing")
    args = parser.parse_args()
    only = {int(i) for i in args.only.split(",") if i}
    scratch = pathlib.Path(args.scratch)
    if not args.list:
        os.environ["LC_ALL"] = "C.UTF-8"
        prepare(scratch)
    # The draw comes from the committed tree, as copied.
    base = ROOT if args.list else scratch
    drawn = random.Random(args.seed).sample(all_sites(base), args.count)
    out = None if args.list else open(scratch / "results.tsv", "a")
    for number, site in enumerate(drawn):
        path, index, start, end, new, op = site
        original = (base / path).read_text()
        before = original.split("\n")[index].strip()
        after = mutate(original, site).split("\n")[index].strip()
        where = f"{number}\t{path}:{index + 1}\t{op}\t{before}\t=> {after}"
        if args.list or (only and number not in only):
            if args.list:
                print(where)
            continue
        target = scratch / path
        target.write_text(mutate(original, site))
        begun = time.time()
        try:
            result, test = verdict(scratch)
        finally:
            target.write_text(original)
        line = f"{where}\t{result}\t{test}\t{time.time() - begun:.0f}s"
        print(line, flush=True)
        out.write(line + "\n")
        out.flush()
    if out:
        for preset in PRESETS:
            subprocess.run(["nice", "cmake", "--build", f"build/{preset}"], cwd=scratch,
                           stdout=subprocess.DEVNULL)
    return 0


if __name__ == "__main__":
    sys.exit(main())
