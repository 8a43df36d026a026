#!/usr/bin/python3
"""What a screen reader finds in Tarvik's main window, read through AT-SPI (python3-pyatspi).

    a11y_names.py PID

Waits up to 60 s for the application with process id PID to show its window "Tarvik" with its
fourteen controls (the display line and thirteen buttons) all named, prints each control's role,
name and description, and ends with 0 when all are named, 1 otherwise.
"""
import sys
import time

import pyatspi

CONTROL_ROLES = {pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_TEXT}
EXPECTED_CONTROLS = 14


def controls(node):
    for child in node:
        if child is None:
            continue
        if child.getRole() in CONTROL_ROLES:
            yield child
        else:
            yield from controls(child)


def read_controls(pid):
    """(role, name, description) of each control of the shown main window."""
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.get_process_id() != pid:
            continue
        # Names change while the program starts: read them afresh each time.
        app.clear_cache()
        for window in app:
            if window and window.name == "Tarvik" and window.getState().contains(pyatspi.STATE_SHOWING):
                return [(c.getRoleName(), c.name, c.description) for c in controls(window)]
    return []


def main():
    pid = int(sys.argv[1])
    deadline = time.monotonic() + 60
    found = []
    while time.monotonic() < deadline:
        try:
            found = read_controls(pid)
        except Exception as error:  # the application may still be exporting its objects
            found = [("error", "", str(error))]
        if len(found) == EXPECTED_CONTROLS and all(name.strip() for _, name, _ in found):
            return 0
        time.sleep(0.2)
    for role, name, description in found:
        print(f"{role}: name {name!r}, description {description!r}")
    unnamed = sum(1 for _, name, _ in found if not name.strip())
    print(f"FAIL: {len(found)} controls seen (of {EXPECTED_CONTROLS}), {unnamed} without a name")
    return 1


if __name__ == "__main__":
    sys.exit(main())
