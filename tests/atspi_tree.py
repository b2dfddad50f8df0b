#!/usr/bin/python3
"""Reads a program's window through the accessibility bus, as a screen reader does.

    atspi_tree.py dump APP           one JSON object per accessible: role, name, description
    atspi_tree.py press APP NAME     the default action of the push button of that name

APP is the application's name on the bus. Exits with 1 when the application or the button
is not there within ten seconds.
"""

import json
import sys
import time

import pyatspi


def application(name):
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name:
                return app
        time.sleep(0.1)
    sys.exit(f"no application {name!r} on the accessibility bus")


def accessibles(node):
    yield node
    for child in node:
        if child is not None:
            yield from accessibles(child)


def main():
    command, app = sys.argv[1], application(sys.argv[2])
    if command == "dump":
        for node in accessibles(app):
            print(json.dumps({"role": node.getRoleName(), "name": node.name,
                              "description": node.description}, ensure_ascii=False))
        return
    if command == "press":
        for node in accessibles(app):
            if node.getRoleName() == "push button" and node.name == sys.argv[3]:
                node.queryAction().doAction(0)
                return
        sys.exit(f"no push button {sys.argv[3]!r}")
    sys.exit(f"unknown command {command!r}")


main()
