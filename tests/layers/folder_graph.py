#!/usr/bin/env python3
"""The folder include graph of the program's sources: which folder's code includes which other folder's headers.

A folder's platform/ subfolder holds that layer's per-platform implementations and counts as the folder itself.
Fails when the graph has a cycle, when a folder includes a folder that is not below it (HEIGHTS, whose top-level
folders are the program's heights: a reader can tell from a folder's name alone where it stands), when a source
folder has no height, or when a widget-free folder includes a widget header; prints the graph.
"""
import os
import re
import sys

ROOT = sys.argv[1]
SOURCE_FOLDERS = ["core", "cipher", "storage", "identity", "protocol", "ui", "app"]
# Bottom to top. A folder includes only folders of a smaller height: the top-level folders stand in this order, and
# within ui/ the shell (controller, container, boxes) is below the screens' shared pieces, which are below the screens.
HEIGHTS = {
    "core": 0,
    "cipher": 1,
    "storage": 2,
    "identity": 2,
    "protocol": 3,
    "ui/shell": 4,
    "ui/common": 5,
    "ui/login": 6,
    "ui/token": 6,
    "ui/settings": 6,
    "ui/tray": 6,
    "app": 7,
}
WIDGET_FREE = ["core", "cipher", "storage", "protocol", "identity"]
WIDGET_HEADER = re.compile(r'#include <(QtWidgets/|Q(Widget|Label|MainWindow|MessageBox|PushButton|LineEdit|Dialog|'
                           r'Application|Frame|Layout|GridLayout|SystemTrayIcon|Menu|Action|ProgressBar|CheckBox)\b)')


def layer_of(folder):
    parts = folder.split("/")
    return "/".join(parts[:-1]) if parts[-1] == "platform" else folder


graph = {}
problems = []
for top in SOURCE_FOLDERS:
    for dirpath, _, names in os.walk(os.path.join(ROOT, top)):
        for name in names:
            if not name.endswith((".cpp", ".h")):
                continue
            path = os.path.join(dirpath, name)
            folder = layer_of(os.path.relpath(dirpath, ROOT))
            with open(path, encoding="utf-8") as source:
                text = source.read()
            for included in re.findall(r'#include "([^"]+/[^"]+)"', text):
                target = layer_of(os.path.dirname(included))
                if target != folder:
                    graph.setdefault(folder, set()).add(target)
            if any(folder == free or folder.startswith(free + "/") for free in WIDGET_FREE):
                for match in WIDGET_HEADER.finditer(text):
                    problems.append(f"{os.path.relpath(path, ROOT)} is widget-free but includes <{match.group(1)}>")

for folder in sorted(graph):
    print(f"{folder} -> {' '.join(sorted(graph[folder]))}")

folders = set()
for top in SOURCE_FOLDERS:
    for dirpath, _, names in os.walk(os.path.join(ROOT, top)):
        if any(name.endswith((".cpp", ".h")) for name in names):
            folders.add(layer_of(os.path.relpath(dirpath, ROOT)))
for folder in sorted(folders - HEIGHTS.keys()):
    problems.append(f"{folder} has no height: place it among the layers")


def top_height(folder):
    top = folder.split("/")[0]
    return min(height for name, height in HEIGHTS.items() if name == top or name.startswith(top + "/"))


for folder in sorted(graph):
    for target in sorted(graph[folder]):
        top, target_top = folder.split("/")[0], target.split("/")[0]
        if top != target_top and top_height(target) >= top_height(folder):
            problems.append(f"{folder} includes {target}: the top-level folder {target_top}/ is not below {top}/")
        elif folder in HEIGHTS and target in HEIGHTS and HEIGHTS[target] >= HEIGHTS[folder]:
            problems.append(f"{folder} includes {target}, which is not below it")


def find_cycle():
    state = {}
    stack = []

    def visit(node):
        state[node] = "open"
        stack.append(node)
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = "done"
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


cycle = find_cycle()
if cycle:
    problems.append("include cycle between folders: " + " -> ".join(cycle))
for problem in problems:
    print("FAIL: " + problem)
sys.exit(1 if problems else 0)
