#!/usr/bin/env python3
"""Writes CHANGELOG.md as a Debian changelog, newest release first: each
"## [VERSION] - DATE" section becomes an entry of the package NAME, its
paragraphs and bullets the entry's items, wrapped to 78 columns. An entry
without a date takes the date of the next older one that has one (so the
dates never rise down the file); an unreleased one takes EPOCH, or the day after that older date when EPOCH
is not later (the newest entry must be the newest date).

    debian_changelog.py CHANGELOG.md NAME MAINTAINER EPOCH
"""
import email.utils
import re
import sys
import textwrap
from datetime import datetime, timedelta, timezone

HEADING = re.compile(r"^## \[([^]]+)\](?: - (\S+))?")


def read_releases(lines):
    """[(version, date or None, [(depth, text)])] in file order."""
    releases, items = [], None
    for line in lines:
        match = HEADING.match(line)
        if match:
            items = []
            releases.append((match.group(1), match.group(2), items))
        elif items is None or line.startswith("#"):
            continue
        elif not line.strip():
            items.append(None)  # ends the item being read
        elif re.match(r"^ *- ", line):
            items.append([line.index("-") // 2, line.split("- ", 1)[1].strip()])
        elif items and items[-1] is not None:
            items[-1][1] += " " + line.strip()
        else:
            items.append([0, line.strip()])
    return [(v, d, [i for i in items if i is not None]) for v, d, items in releases]


def stamp(date, older, epoch):
    """The entry's date, RFC 2822: OLDER's, or EPOCH's when unreleased."""
    day = datetime.fromtimestamp(0, timezone.utc)
    if older:
        day = datetime.strptime(older, "%Y-%m-%d").replace(tzinfo=timezone.utc)
    if date == "unreleased":
        day = max(day + timedelta(days=1), datetime.fromtimestamp(epoch, timezone.utc))
    return email.utils.format_datetime(day)


def main():
    path, name, maintainer, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    with open(path, encoding="utf-8") as f:
        releases = read_releases(f.read().splitlines())
    older, dates = None, []
    for _, date, _ in reversed(releases):
        if date and date != "unreleased":
            older = date
        dates.append((date, older))
    for (version, _, items), (date, older) in zip(releases, reversed(dates)):
        print(f"{name} ({version}) unstable; urgency=medium\n")
        for depth, text in items:
            indent = "  " * (depth + 1)
            print(textwrap.fill(text, 78, initial_indent=indent + "* ",
                                subsequent_indent=indent + "  ", break_on_hyphens=False))
        print(f"\n -- {maintainer}  {stamp(date, older, epoch)}\n")


if __name__ == "__main__":
    main()
