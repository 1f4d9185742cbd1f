#!/usr/bin/env python3
"""A lower folder never includes a higher one. The floors below are the link
order of CMakeLists.txt; folders on one floor build as one library and may
include each other. The unit tests under tests/<folder>/ hold to their
folder's floor."""
import argparse
import os
import re
import sys
import tempfile

FLOORS = [
    ["platform"],
    ["foundation"],
    ["diagnostics"],
    ["options"],
    ["syntax"],
    ["source"],
    ["model"],
    ["codegen"],
    ["builtins"],
    ["catalogue/text"],
    ["catalogue/system"],
    ["catalogue/network"],
    ["declare", "classes", "statements", "expressions"],
    ["image"],
    ["executable"],
    ["driver"],
]
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def floor_of(path):
    """The floor index of a path relative to the root, or None outside the folders."""
    for level, folders in enumerate(FLOORS):
        for folder in folders:
            if path.startswith(folder + "/"):
                return level
    return None


def check_file(root, relative, own_floor):
    faults = []
    with open(os.path.join(root, relative), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = match.group(1)
            level = floor_of(target)
            if level is None or level <= own_floor:
                continue
            faults.append(f"{relative}:{number}: includes {target} from a lower folder")
    return faults


def sources(folder):
    for directory, _, names in os.walk(folder):
        for name in sorted(names):
            if name.endswith((".h", ".cpp", ".def", ".inc")):
                yield os.path.join(directory, name)


def check_tree(root):
    faults = []
    for level, folders in enumerate(FLOORS):
        for folder in folders:
            for base in (folder, os.path.join("tests", folder)):
                absolute = os.path.join(root, base)
                if not os.path.isdir(absolute):
                    continue
                for path in sources(absolute):
                    faults += check_file(root, os.path.relpath(path, root), level)
    return faults


def self_check():
    """The check itself must see an upward include, and pass a downward one."""
    with tempfile.TemporaryDirectory(prefix="korvo-layering-") as root:
        for relative, text in (("syntax/bad.cpp", '#include "source/node.h"\n'),
                               ("source/fine.cpp", '#include "options/compile_options.h"\n#include "syntax/a.h"\n'),
                               ("options/bad.cpp", '#include "driver/pipeline.h"\n'),
                               ("tests/foundation/bad_test.cpp", '  #  include "image/static_library.h"\n')):
            os.makedirs(os.path.join(root, os.path.dirname(relative)), exist_ok=True)
            with open(os.path.join(root, relative), "w", encoding="utf-8") as f:
                f.write(text)
        faults = check_tree(root)
    expected = ["options/bad.cpp:1: includes driver/pipeline.h from a lower folder",
                "syntax/bad.cpp:1: includes source/node.h from a lower folder",
                "tests/foundation/bad_test.cpp:1: includes image/static_library.h from a lower folder"]
    if sorted(faults) != expected:
        print("layering check is broken: found", faults)
        sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", help="unused; every script test takes it")
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
    args = parser.parse_args()
    self_check()
    faults = check_tree(args.root)
    for fault in faults:
        print(fault)
    print(f"layering: {len(faults)} upward includes")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
