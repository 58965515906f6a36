#!/usr/bin/env bash
# Fails when the program's include lines make a circle: between folders (app, launcher,
# dbinstall, platform, platform/copy, ...), or between the units of the copy engine
# (platform/copy; Foo.h and Foo.cpp are one unit). Prints each circle found.
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - <<'PY'
import os, re, subprocess, sys
files = subprocess.run(["git", "ls-files", "--", "app", "launcher", "dbinstall", "platform", "res"],
                       capture_output=True, text=True, check=True).stdout.split()
rooms, units = {}, {}
for f in files:
    if not f.endswith((".h", ".cpp")) or not os.path.exists(f):
        continue
    for inc in re.findall(r'^\s*#\s*include\s+"([^"]+)"', open(f, encoding="utf-8", errors="replace").read(), re.M):
        if "/" not in inc:
            inc = os.path.join(os.path.dirname(f), inc)
        a, b = os.path.dirname(f), os.path.dirname(inc)
        if a != b:
            rooms.setdefault(a, set()).add(b)
        elif a == "platform/copy":
            ua, ub = os.path.splitext(f)[0], os.path.splitext(inc)[0]
            if ua != ub:
                units.setdefault(ua, set()).add(ub)
def circles(graph):
    found, state = [], {}
    def walk(node, path):
        state[node] = 1
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == 1:
                found.append(path[path.index(nxt):] + [nxt])
            elif nxt not in state:
                walk(nxt, path + [nxt])
        state[node] = 2
    for node in sorted(graph):
        if node not in state:
            walk(node, [node])
    return found
bad = circles(rooms) + circles(units)
for c in bad:
    print("include circle: " + " -> ".join(c))
print("check-rooms: %d circles (%d folders, %d units of platform/copy)" % (len(bad), len(rooms), len(units)))
sys.exit(1 if bad else 0)
PY
