"""What the AT-SPI checks share: finding the viewer's accessibles, pressing, typing and clicking as a user would,
and the list of checks that failed."""

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


def key(keysym, pause=0.2):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    time.sleep(pause)


def click(node, pause=0.0):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "b1c")
    time.sleep(pause)


def report(script):
    """Says every check that failed and exits 1 when one did."""
    for f in failures:
        print(script + ": failed: " + f, file=sys.stderr)
    sys.exit(1 if failures else 0)
