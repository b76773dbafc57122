#!/usr/bin/python3
"""The viewer as a screen reader sees it, through AT-SPI.

Run inside a session bus and an X server (dbus-run-session -- xvfb-run ...):
    atspi_check.py VIEWER MODEL.md2
Starts the viewer on the model, then checks what assistive technology reads:
the toggles' states in their names, menu check marks that follow the
commands without the menus being opened, the status bar and the view.
Exits 1 naming every check that failed.
"""

import subprocess
import sys
import time

import pyatspi

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def wait_for(find, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        found = find()
        if found:
            return found
        time.sleep(0.1)
    return None


def nodes(root):
    """Every accessible below root, depth first; parts that vanish are skipped."""
    stack = [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        yield node
        try:
            stack.extend(node.getChildAtIndex(i) for i in reversed(range(node.childCount)))
        except Exception:
            continue


def app_named(name):
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        a = desktop.getChildAtIndex(i)
        if a is not None and a.name == name:
            return a
    return None


def find(root, role, name=None, starts=None):
    for n in nodes(root):
        try:
            if n.getRoleName() != role:
                continue
            if name is not None and n.name != name:
                continue
            if starts is not None and not (n.name or "").startswith(starts):
                continue
            return n
        except Exception:
            continue
    return None


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def press(node):
    node.queryAction().doAction(0)


def key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    time.sleep(0.2)


def main():
    viewer, model = sys.argv[1], sys.argv[2]
    proc = subprocess.Popen([viewer, model])
    time.sleep(2)  # not asked anything while its window is being made
    try:
        app = wait_for(lambda: app_named("meshara"))
        check(app is not None, "the viewer is on the accessibility bus")
        if app is None:
            return
        # Keys go where the pointer is: over the view.
        frame = wait_for(lambda: find(app, "frame"))
        box = frame.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        pyatspi.Registry.generateMouseEvent(box.x + box.width // 4, box.y + box.height // 2, "abs")
        toggle = wait_for(lambda: find(app, "push button", starts="Show or hide model"))
        check(toggle is not None and toggle.name == "Show or hide model: on", "the shown model's toggle says on")
        if toggle is not None:
            press(toggle)
            check(wait_for(lambda: toggle.name == "Show or hide model: off"), "pressed, it says off")

        status = wait_for(lambda: find(app, "status bar"))
        check(status is not None and "frame 0 (12 frames): pulse0" in (status.name or ""),
              "the status bar reads the frame: %r" % (status.name if status else None))
        view = find(app, "panel", "Model view")
        check(view is not None and "knot.md2" in (view.description or ""), "the view is named and described")

        nearest, tri = find(app, "check menu item", "Nearest"), find(app, "check menu item", "Tri-MIP")
        check(nearest is not None and tri is not None and checked(tri) and not checked(nearest), "Tri-MIP at start")
        if nearest is not None and tri is not None:
            press(nearest)
            check(wait_for(lambda: checked(nearest) and not checked(tri)), "Nearest chosen, Tri-MIP no longer checked")

        play = find(app, "check menu item", "Play Animation")
        step = find(app, "menu item", "Next Animation")
        if play is not None and step is not None:
            press(play)
            check(wait_for(lambda: checked(play)), "Play Animation checked while playing")
            # A step stops playback: the check mark goes with it.
            key(0xFF53)  # Right
            check(wait_for(lambda: not checked(play)), "Play Animation unchecked once a step stopped it")
        else:
            check(False, "Play Animation and Next Animation are in the menus")
    finally:
        proc.terminate()
        proc.wait(timeout=10)


main()
for f in failures:
    print("atspi_check: failed: " + f, file=sys.stderr)
sys.exit(1 if failures else 0)
