#!/usr/bin/python3
"""Prints what a screen reader finds of one application on the accessibility bus, as JSON.

Usage: atspi_tree.py PID [SECONDS [PREFIX]] [--until-input]

Finds the application whose process is PID and prints one JSON object: "tree", every accessible of its windows with
its role, name, description, text (when it offers the text interface), value, states and extents on the screen. With
SECONDS, it then listens at most that long and adds "events": each name change and text change, with the source's
role and name, and "after", the tree once more. With PREFIX it stops listening as soon as the name of an event's
source starts with PREFIX. With --until-input it writes "listening" to standard error once it listens, and stops
when a line (or the end) comes on standard input: the caller ends the listening once it has seen what had to happen
meanwhile, and SECONDS is only a limit. Exit status 2 when the application is not on the bus.
"""
import json
import sys

import pyatspi


def text_of(acc):
    try:
        text = acc.queryText()
    except NotImplementedError:
        return None
    return text.getText(0, -1)


def value_of(acc):
    try:
        return acc.queryValue().currentValue
    except NotImplementedError:
        return None


def describe(acc):
    states = acc.getState()
    try:
        box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        extents = [box.x, box.y, box.width, box.height]
    except NotImplementedError:
        extents = None
    return {
        "role": acc.getRoleName(),
        "name": acc.name,
        "description": acc.description,
        "text": text_of(acc),
        "value": value_of(acc),
        "showing": states.contains(pyatspi.STATE_SHOWING),
        "visible": states.contains(pyatspi.STATE_VISIBLE),
        "focusable": states.contains(pyatspi.STATE_FOCUSABLE),
        "focused": states.contains(pyatspi.STATE_FOCUSED),
        "enabled": states.contains(pyatspi.STATE_ENABLED),
        "extents": extents,
    }


def walk(acc, depth, out):
    entry = describe(acc)
    entry["depth"] = depth
    out.append(entry)
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, out)


def find_application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def main():
    arguments = sys.argv[1:]
    until_input = "--until-input" in arguments
    if until_input:
        arguments.remove("--until-input")
    pid = int(arguments[0])
    seconds = float(arguments[1]) if len(arguments) > 1 else 0
    prefix = arguments[2] if len(arguments) > 2 else None
    app = find_application(pid)
    if app is None:
        return 2
    tree = []
    walk(app, 0, tree)
    result = {"tree": tree}
    if seconds > 0:
        events = []

        def heard(event):
            try:
                source = event.source
                if source.get_process_id() != pid:
                    return
                events.append({"type": event.type, "role": source.getRoleName(), "name": source.name,
                               "detail": str(event.any_data) if event.any_data is not None else None})
                if prefix is not None and source.name.startswith(prefix):
                    pyatspi.Registry.stop()
            except Exception:  # a source that went away in between
                pass

        pyatspi.Registry.registerEventListener(heard, "object:property-change:accessible-name",
                                               "object:text-changed")
        from gi.repository import GLib
        GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
        if until_input:
            def stop(source, condition):
                pyatspi.Registry.stop()
                return False

            def announce():
                sys.stderr.write("listening\n")
                sys.stderr.flush()
                return False

            GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP | GLib.IO_ERR, stop)
            # Runs once the main loop runs, so the listener is in place.
            GLib.idle_add(announce)
        pyatspi.Registry.start()
        result["events"] = events
        after = []
        walk(app, 0, after)
        result["after"] = after
    json.dump(result, sys.stdout)
    return 0


if __name__ == "__main__":
    sys.exit(main())
