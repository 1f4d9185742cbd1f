#!/usr/bin/env python3
"""A lower folder never includes a higher one. The floors below are the link
order of CMakeLists.txt; folders on one floor build as one library and may
include each other. The unit tests under tests/<folder>/ hold to their
folder's floor.

Two rules of place besides: only foundation/look_ahead.h prefetches (every
other look-ahead goes through it, so each stays in view and can be dropped
when its bench shape no longer pays for it); and the compiler's passes keep
no thread_local or process-wide mutable state of their own, nor does the
front end: what outlives a call belongs to the compile state, the parse, the
project or the object that uses it. What must outlive all of them is listed
below by file and name, each with its reason."""
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

PREFETCH = re.compile(r"__builtin_prefetch|_mm_prefetch|\bprefetch(?:t0|t1|t2|nta|w)\b")
PREFETCH_ALLOWED = ("foundation/look_ahead.h",)

STATE_FOLDERS = ("syntax", "source", "model", "codegen", "declare", "classes", "statements", "expressions")
# thread_local; a static variable that is not const (namespace, class or
# function scope: a declaration with no parenthesis before its end, or one
# given a value); a variable at namespace scope (from the first column: a
# type, then a name and its end or its value) that is not const, whatever
# its name, a pointer to const data included.
LEAD = r"(?:(?:inline|constinit|thread_local)\s+)*"
STATE = re.compile(r"\bthread_local\b"
                   r"|^\s*(?:inline\s+)?static\s+(?:inline\s+)?(?!.*\b(?:const|constexpr)\b)[^()]*[;={]\s*$"
                   r"|^\s*(?:inline\s+)?static\s+(?:inline\s+)?(?!.*\b(?:const|constexpr)\b)[\w:<>, *&]*?[ *&]\w+\s*"
                   r"(?:\[[^\]]*\]\s*)?=(?!=)"
                   r"|^" + LEAD + r"const\s+[\w:<>, *&]*\*\s*(?!const\b)[A-Za-z_]\w*\s*(?:\[[^\]]*\]\s*)?(?:=(?!=)|;|\{)"
                   r"|^(?!" + LEAD + r"(?:const|constexpr|consteval|static|extern|using|typedef|template|namespace|class"
                   r"|struct|enum|union|friend|return|operator|case|goto|else|do|public|private|protected|default)\b)"
                   + LEAD + r"[A-Za-z_][\w:<>, *&]*?[ *&](?!const\b)[A-Za-z_]\w*\s*(?:\[[^\]]*\]\s*)?(?:=(?!=)|;|\{)")
# The name a flagged declaration declares.
DECLARED = re.compile(r"([A-Za-z_]\w*)\s*(?:\[[^\]]*\]\s*)?(?:=(?!=)|;|\{)")
# State allowed by file and name, with the reason it outlives every owner.
NODES_OUTLIVE = ("nodes are released wherever their last handle goes, after the parse and the project "
                 "and from static destructors")
STATE_ALLOWED = {
    "source/node_list.cpp": {
        "gLists": "the node lists' storage: " + NODES_OUTLIVE + ", and a list (one word) finds its storage "
                  "from its own address; which arena a match's lists go to is told by the parse",
    },
    "source/side_words.cpp": {
        "gNodeSideWords": "the side words of the nodes, by address: " + NODES_OUTLIVE,
    },
    "source/node.cpp": {
        "gNodeSerial": "a node's serial orders nodes made by every stage, and only grows",
    },
    "source/node_text.cpp": {
        "gFixedTexts": "chunk 0 of the node-text store, written at load time and only read",
        "gStore": "the node-text store: a node's text is a 32-bit number into it, read wherever the node is",
        "gChunks": "the node-text store's chunks, read inline by every node text",
    },
    "source/page_tags.cpp": {
        "code": "the tag pattern, compiled once from a constant and only read",
    },
    "source/search_paths.cpp": {
        "paths": "the include search list the driver fills from the command line before any project",
    },
    "source/source_project.cpp": {
        "gNextTextId": "ids of generated texts, unique in the process; a text takes one where it is made, "
                       "before it has a project",
    },
    "syntax/node_store.cpp": {
        "gLiveNodes": "the live-node registry: " + NODES_OUTLIVE,
        "stack": "the release stack of every node's teardown: " + NODES_OUTLIVE,
    },
    "syntax/grammar.cpp": {
        "last": "a grammar's generation, unique in the process: a walk cache tells a grammar from one made "
                "later at the same address",
    },
    "syntax/korvo_grammar.cpp": {
        "grammar": "the language's grammar, loaded once from the built-in table and only read",
    },
}


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


def allowed(relative, prefixes):
    return any(relative == prefix or relative.startswith(prefix) for prefix in prefixes)


def check_places(root, relative, state_allowed, seen):
    """A prefetch outside look_ahead.h; process-wide state in a pass or the
    front end, but for the names allowed (those met go into `seen`)."""
    faults = []
    state = relative.split("/")[0] in STATE_FOLDERS
    names = state_allowed.get(relative, {})
    prefetch = not allowed(relative, PREFETCH_ALLOWED)
    with open(os.path.join(root, relative), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            code = line.split("//")[0]
            if prefetch and PREFETCH.search(code):
                faults.append(f"{relative}:{number}: prefetches outside foundation/look_ahead.h")
            if state and STATE.search(code):
                declared = DECLARED.search(code)
                if declared and declared.group(1) in names:
                    seen.add((relative, declared.group(1)))
                else:
                    faults.append(f"{relative}:{number}: process-wide mutable state")
    return faults


def sources(folder):
    for directory, _, names in os.walk(folder):
        for name in sorted(names):
            if name.endswith((".h", ".cpp", ".def", ".inc")):
                yield os.path.join(directory, name)


def check_tree(root, state_allowed):
    faults = []
    seen = set()
    for level, folders in enumerate(FLOORS):
        for folder in folders:
            for base in (folder, os.path.join("tests", folder)):
                absolute = os.path.join(root, base)
                if not os.path.isdir(absolute):
                    continue
                for path in sources(absolute):
                    relative = os.path.relpath(path, root)
                    faults += check_file(root, relative, level)
                    if base == folder:
                        faults += check_places(root, relative, state_allowed, seen)
    for relative, names in sorted(state_allowed.items()):
        for name in sorted(names):
            if (relative, name) not in seen:
                faults.append(f"{relative}: allowed state {name} is not there any more")
    return faults


def self_check():
    """The check itself must see an upward include, and pass a downward one."""
    with tempfile.TemporaryDirectory(prefix="korvo-layering-") as root:
        for relative, text in (("syntax/bad.cpp", '#include "source/node.h"\n'),
                               ("source/fine.cpp", '#include "options/compile_options.h"\n#include "syntax/a.h"\n'),
                               ("options/bad.cpp", '#include "driver/pipeline.h"\n'),
                               ("tests/foundation/bad_test.cpp", '  #  include "image/static_library.h"\n'),
                               ("foundation/look_ahead.h", "void f(const char* p) { __builtin_prefetch(p); }\n"),
                               ("image/walk.cpp", "    __builtin_prefetch(p);  // ahead\n// __builtin_prefetch in comments\n"),
                               ("declare/pass.cpp", "    static thread_local std::string held;\nstatic int count = 0;\n"
                                                    "static int helper(int a);\nstatic constexpr int kSize = 4;\n"
                                                    "    static const char* const kNames[] = {};\n"),
                               ("model/globals.cpp", "Table* gTable = nullptr;\nconst Table kTable{};\n"
                                                     "uint64_t counter = 0;\nstd::vector<const Table*> tables;\n"
                                                     "inline constexpr size_t kSlots = 3;\nconst char* const kNames[] = {\n"
                                                     "Table::Table() = default;\nusing Name = int;\nextern int shared;\n"),
                               ("source/store.cpp", "constinit Store gStore;\nuint32_t gCount = 0;\n"
                                                    "const Grammar* gGrammar = nullptr;\nconst char* const kName = \"\";\n"),
                               ("syntax/cache.cpp", "Cache& shared() {\n    static Cache* cache = new Cache();\n"
                                                    "    static const Rules rules = [] {\n    static Cache made;\n")):
            os.makedirs(os.path.join(root, os.path.dirname(relative)), exist_ok=True)
            with open(os.path.join(root, relative), "w", encoding="utf-8") as f:
                f.write(text)
        faults = check_tree(root, {"source/store.cpp": {"gStore": "kept"}, "syntax/gone.cpp": {"gOld": "kept"}})
    expected = ["declare/pass.cpp:1: process-wide mutable state",
                "declare/pass.cpp:2: process-wide mutable state",
                "image/walk.cpp:1: prefetches outside foundation/look_ahead.h",
                "model/globals.cpp:1: process-wide mutable state",
                "model/globals.cpp:3: process-wide mutable state",
                "model/globals.cpp:4: process-wide mutable state",
                "options/bad.cpp:1: includes driver/pipeline.h from a lower folder",
                "source/store.cpp:2: process-wide mutable state",
                "source/store.cpp:3: process-wide mutable state",
                "syntax/cache.cpp:2: process-wide mutable state",
                "syntax/cache.cpp:4: process-wide mutable state",
                "syntax/gone.cpp: allowed state gOld is not there any more",
                "syntax/bad.cpp:1: includes source/node.h from a lower folder",
                "tests/foundation/bad_test.cpp:1: includes image/static_library.h from a lower folder"]
    if sorted(faults) != sorted(expected):
        print("layering check is broken: found", faults)
        sys.exit(1)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", help="unused; every script test takes it")
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
    args = parser.parse_args()
    self_check()
    faults = check_tree(args.root, STATE_ALLOWED)
    for fault in faults:
        print(fault)
    print(f"layering: {len(faults)} faults")
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
