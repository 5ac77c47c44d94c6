#!/usr/bin/env python3
"""Prints which folders of src/ include which, and fails (exit 1) when an
include runs upward or sideways between the layers below, when folders
include each other in a circle, or when a file outside the editor names the
editor's state block.

Usage: check_layers.py [SRC_DIR]
"""
import os
import re
import sys

# Bottom to top. A folder may include only folders of a lower rank; folders
# of one rank do not know each other.
RANKS = {
    "platform": 0,
    "ui/resources": 0,
    "base": 1,
    "textfile": 2,
    "image": 2,
    "cursor": 3,
    "ani": 4,
    "frames": 5,
    "ui": 6,
    "ui/console": 7,
    "ui/win32": 7,
    "app": 8,
    "show": 8,
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')

# The state block belongs to the editor's window: only the editor's folders
# name it, and the start-up, which hands it the command line.
STATE_BLOCK = re.compile(r'\b(appState|AppState|resetAppState)\b|"ui/state\.h"')
STATE_FOLDERS = ("ui", "ui/console", "ui/win32")
STATE_FILES = (
    "app/startup.cpp",
)


def folder_of(rel):
    parts = rel.split("/")
    if parts[0] == "ui" and len(parts) > 2:
        return "ui/" + parts[1]
    return parts[0]


def include_graph(src):
    edges = {}
    for directory, _, names in os.walk(src):
        for name in names:
            if not name.endswith((".h", ".cpp", ".in", ".rc")):
                continue
            path = os.path.join(directory, name)
            here = folder_of(os.path.relpath(path, src))
            with open(path, errors="replace") as f:
                for line in f:
                    m = INCLUDE.match(line)
                    if not m or "/" not in m.group(1):
                        continue
                    if not os.path.exists(os.path.join(src, m.group(1))):
                        continue
                    there = folder_of(m.group(1))
                    if there != here:
                        edges.setdefault(here, {}).setdefault(there, path)
    return edges


def state_block_users(src):
    found = []
    for directory, _, names in os.walk(src):
        for name in names:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(directory, name)
            rel = os.path.relpath(path, src)
            if folder_of(rel) in STATE_FOLDERS or rel in STATE_FILES:
                continue
            with open(path, errors="replace") as f:
                if STATE_BLOCK.search(f.read()):
                    found.append(rel)
    return sorted(found)


def cycles(edges):
    index, low, stack, on, found = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in edges.get(v, {}):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            component = []
            while True:
                w = stack.pop()
                on.discard(w)
                component.append(w)
                if w == v:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    for v in sorted(set(edges) | {w for ws in edges.values() for w in ws}):
        if v not in index:
            visit(v)
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else "src"
    edges = include_graph(src)
    problems = []
    for here in sorted(RANKS, key=lambda f: (RANKS[f], f)):
        targets = sorted(edges.get(here, {}))
        print("%-13s -> %s" % (here, ", ".join(targets) if targets else "(nothing)"))
    for here, targets in sorted(edges.items()):
        for there, where in sorted(targets.items()):
            if here not in RANKS or there not in RANKS:
                problems.append("%s -> %s: folder has no layer (%s)" % (here, there, where))
            elif RANKS[there] >= RANKS[here]:
                problems.append("%s -> %s: include does not run downward (%s)" % (here, there, where))
    for rel in state_block_users(src):
        problems.append("%s names the editor's state block" % rel)
    for component in cycles(edges):
        problems.append("cycle: " + " <-> ".join(component))
    for p in problems:
        print("layer check: " + p, file=sys.stderr)
    print("layer check: %s" % ("failed" if problems else "passed"))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
