#!/usr/bin/env python3
"""Lists every localisation key named in the given Markdown documents, in order of first mention.

Keys are written as quoted camel-case names with one of the interface's prefixes ("menuQuit",
"hintNewLesson", "sidebarLesson", "statsTitle", ...). A sentence that takes captions "from the
keys of the same names" names them as the outlets they fill, in backticks, instead.

    tools/collect_localization_keys.py DOC.md...            # one key a line
    tools/collect_localization_keys.py --check TABLE.csv DOC.md...
        # also fails (exit 1) when a key is missing from the table's "id" column
"""
import csv
import re
import sys

PREFIXES = ("menu", "main", "hint", "hit", "sidebar", "stats", "help")
QUOTED = re.compile(r'"((?:%s)[A-Z0-9][A-Za-z0-9]*)"' % "|".join(PREFIXES))
BACKTICKED = re.compile(r'`((?:%s)[A-Z0-9][A-Za-z0-9]*)`' % "|".join(PREFIXES))
SAME_NAMES = re.compile(r"from the keys of the same names")

# Quoted names with a key's prefix that are something else.
NOT_KEYS = {
    "helpOnFirstLaunchShown",  # a user-defaults entry
    "helpWindowController",    # a storyboard scene identifier
}


def collect(paths):
    keys = []
    seen = set()

    def add(name):
        if name not in seen and name not in NOT_KEYS:
            seen.add(name)
            keys.append(name)

    for path in paths:
        with open(path, encoding="utf-8") as f:
            for line in f:
                for m in QUOTED.finditer(line):
                    add(m.group(1))
                for sentence in re.split(r"(?<=[.;])\s", line):
                    same = SAME_NAMES.search(sentence)
                    if same:
                        for m in BACKTICKED.finditer(sentence[: same.start()]):
                            # only the list right before the phrase ("the text of `a`, `b` ...")
                            add(m.group(1))
    return keys


def main(argv):
    table = None
    if argv[:1] == ["--check"]:
        table, argv = argv[1], argv[2:]
    keys = collect(argv)
    if table is None:
        print("\n".join(keys))
        return 0
    with open(table, encoding="utf-8-sig", newline="") as f:
        ids = {row.get("id") for row in csv.DictReader(f)}
    missing = [k for k in keys if k not in ids]
    for k in missing:
        print("missing: " + k)
    return 1 if missing else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
