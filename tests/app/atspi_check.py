#!/usr/bin/env python3
"""Reads the windows of atspi_windows back through AT-SPI, as a screen reader does: names, roles and
the text interface of the query window's text view. Every wait is bounded."""
import os
import subprocess
import sys
import time

import pyatspi

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def find_app(name, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                return app
        time.sleep(0.2)
    return None


def main():
    program = sys.argv[1]
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    env.pop("QT_QPA_PLATFORM", None)
    process = subprocess.Popen([program], env=env, stdout=subprocess.PIPE, text=True)
    try:
        ready = process.stdout.readline().strip()
        check(ready == "ready", "the windows are shown")
        app = find_app("atspi_windows")
        check(app is not None, "the program is on the accessibility bus")
        if app is None:
            return 1
        nodes = list(walk(app))
        by_name = {}
        for node in nodes:
            by_name.setdefault(node.name, []).append(node)
        roles = lambda name: sorted({n.getRoleName() for n in by_name.get(name, [])})

        windows = [app.getChildAtIndex(i).name for i in range(app.childCount)]
        check("Tablora" in windows, "main window 'Tablora' among %s" % windows)
        for control in ("lblCnt", "lblTableName", "lstDb", "flGrid_Field", "txtRecord", "picStatus"):
            check(control not in by_name, "no control read with its control name %s" % control)
        check("label" in roles("3/10"), "the counter is read with its value: %s" % roles("3/10"))
        check("label" in roles("items"), "the chosen table's label is read with its value: %s" % roles("items"))
        check(set(roles("database")) & {"list", "list box"}, "lstDb is a list named 'database': %s"
              % roles("database"))
        check(set(roles("fields")) & {"table", "tree table"}, "flGrid_Field is a table named 'fields': %s"
              % roles("fields"))
        check(set(roles("SERVER")) & {"text", "entry"}, "txtServer named 'SERVER': %s" % roles("SERVER"))

        views = [n for n in by_name.get("ﾃｷｽﾄ", []) if n.getRoleName() in ("text", "entry", "document text")]
        check(len(views) == 1, "the query window's text view 'ﾃｷｽﾄ' (%s)" % roles("ﾃｷｽﾄ"))
        if views:
            text = views[0].queryText()
            check(text.characterCount == 12, "text length %d" % text.characterCount)
            check(text.getText(0, -1) == "id\t名前\n1\tりんご\n", "text %r" % text.getText(0, -1))
            check(text.caretOffset == 5, "caret %d" % text.caretOffset)
            check(text.getNSelections() == 1 and tuple(text.getSelection(0)) == (3, 5),
                  "selection %r" % (tuple(text.getSelection(0)) if text.getNSelections() else None,))
            text.setCaretOffset(8)
            deadline = time.monotonic() + 10
            while text.caretOffset != 8 and time.monotonic() < deadline:
                time.sleep(0.1)
            check(text.caretOffset == 8, "the caret moved through the bridge: %d" % text.caretOffset)
    finally:
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
