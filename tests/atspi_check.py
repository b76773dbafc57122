#!/usr/bin/python3
"""The viewer as a screen reader sees it, through AT-SPI.

Run inside a session bus and an X server (dbus-run-session -- xvfb-run ...):
    atspi_check.py VIEWER MODEL.md2 VERSION
Starts the viewer on the model, then checks what assistive technology reads:
toggle buttons checked while on, menu check marks that follow the commands
without the menus being opened, the status bar and the view, the dialogs
with a name for every box, message boxes named by their caption with no
tooltip over them; then the viewer again on an archive, for its chooser.
Exits 1 naming every check that failed.
"""

import os
import subprocess
import sys
import tempfile
import time
import zipfile

import pyatspi

from atspi_support import app_named, check, checked, click, find, key, nodes, press, report, wait_for


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def tooltip_up():
    """Whether a tooltip shows: the toolkit keeps tooltips off the accessibility tree, so the X server is asked
    for a mapped override-redirect window (with no menu open, only a tooltip is one)."""
    tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout
    for window in (line.split()[0] for line in tree.splitlines() if line.strip().startswith("0x")):
        info = subprocess.run(["xwininfo", "-id", window], capture_output=True, text=True).stdout
        if "IsViewable" in info and "Override Redirect State: yes" in info:
            return True
    return False


def point_at(node, dx=0):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2 + dx, box.y + box.height // 2, "abs")


def open_by(app, kind, name):
    """Clicks a button, or chooses a menu item, with the mouse: a control's own action would run the dialog
    it opens inside the bus call, and the viewer could not answer until the dialog closed."""
    if kind == "menu item":
        menu = next(m for m in ("Rendering", "Help") if find(find(app, "menu", m), kind, name))
        click(find(app, "menu", menu))
    click(wait_for(lambda: (lambda n: n if n is not None and showing(n) else None)(find(app, kind, name))))


def text_names(root):
    return [n.name for n in nodes(root) if n.getRoleName() == "text"]


COLOR, AXIS = ["red", "green", "blue"], ["X", "Y", "Z"]
# Each dialog: how it is opened (a menu item, or a button of the bar), its title and the names of its boxes.
DIALOGS = [
    ("menu item", "Background Color...", "Background Color", ["Background " + c for c in COLOR]),
    ("push button", "Light properties", "Light Properties",
     ["Name"] + ["%s %s" % (row, part) for row, parts in
                 [("Position", AXIS), ("Direction", AXIS), ("Ambient", COLOR), ("Diffuse", COLOR),
                  ("Specular", COLOR)] for part in parts]),
]


def check_dialogs(app, version):
    """The dialogs, each a dialog with its boxes named; a refused box's message box, named by its caption."""
    press(wait_for(lambda: find(app, "push button", "New light")))  # a light for Light Properties to edit
    for kind, opener, title, names in DIALOGS:
        open_by(app, kind, opener)
        dialog = wait_for(lambda: find(app, "dialog", title))
        check(dialog is not None, "%s is a dialog" % title)
        if dialog is None:
            continue
        check(sorted(text_names(dialog)) == sorted(names), "%s names its boxes: %r" % (title, text_names(dialog)))
        press(find(dialog, "push button", "Cancel"))
        check(wait_for(lambda: find(app, "dialog", title) is None), "%s closes with Cancel" % title)

    open_by(app, "menu item", "About Torvane's Meshara")
    about = wait_for(lambda: find(app, "dialog", "About Torvane's Meshara"))
    check(about is not None, "About is a dialog")
    if about is not None:
        picture = find(about, "image", "Torvane's Meshara")
        check(picture is not None and version in (picture.description or ""),
              "About's picture tells the name and version: %r" % (picture and picture.description))
        check(version in (about.description or ""), "About tells the version: %r" % about.description)
        point_at(about)
        key(0xFF1B)  # Escape
        check(wait_for(lambda: find(app, "dialog", "About Torvane's Meshara") is None), "About closes with Escape")


def check_message_box(viewer, folder, at):
    """A file refused at start-up: its message box named by its caption, and no tooltip over it although the
    pointer rests where the bar's first button comes up; the tooltips back once it has gone."""
    bad = os.path.join(folder, "bad.md2")
    with open(bad, "wb") as f:
        f.write(b"not a model")
    pyatspi.Registry.generateMouseEvent(at[0], at[1], "abs")
    proc = subprocess.Popen([viewer, bad])
    try:
        app = wait_for(lambda: app_named("meshara"))
        box = app and wait_for(lambda: find(app, "alert"))
        check(box is not None and box.name == "Torvane's Meshara",
              "the message box is named by its caption: %r" % (box and box.name))
        if box is None:
            return
        end, covered = time.time() + 3, False
        while time.time() < end and not covered:
            covered = tooltip_up()
            time.sleep(0.1)
        check(not covered, "no tooltip while the message box is up")
        press(find(box, "push button", "OK"))
        check(wait_for(lambda: find(app, "alert") is None), "the message box closes")
        button = wait_for(lambda: find(app, "push button", "Add model"))
        point_at(button, 3)
        check(wait_for(lambda: tooltip_up(), 5), "tooltips come back once it has gone")
    finally:
        proc.terminate()
        proc.wait(timeout=10)


def check_archive_chooser(viewer, model, folder):
    archive = os.path.join(folder, "two.zip")
    with zipfile.ZipFile(archive, "w") as z:
        for name in ("models/a.md2", "models/b.md2"):
            z.write(model, name)
    proc = subprocess.Popen([viewer, archive])
    try:
        app = wait_for(lambda: app_named("meshara"))
        chooser = app and wait_for(lambda: find(app, "dialog", starts="Models in"))
        check(chooser is not None, "the archive chooser is a dialog")
        if chooser:
            check(find(chooser, "table", "Models in the archive") is not None, "its list is a named table")
    finally:
        proc.terminate()
        proc.wait(timeout=10)


def main():
    viewer, model, version = sys.argv[1], sys.argv[2], sys.argv[3]
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
        # A toggle button, checked while on; a press is the one command, and the refresh after it unchecks it.
        toggle = wait_for(lambda: find(app, "toggle button", "Show or hide model"))
        check(toggle is not None and checked(toggle), "the shown model's toggle is a checked toggle button")
        if toggle is not None:
            press(toggle)
            check(wait_for(lambda: not checked(toggle)), "pressed, it is no longer checked")
            press(toggle)
            check(wait_for(lambda: checked(toggle)), "pressed again, checked again")
        lights = find(app, "toggle button", "Switch light")
        check(lights is not None and checked(lights), "the global light's toggle is checked")
        check(find(app, "table", "Global lights") is not None, "the global light list is a named table")

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
        check_dialogs(app, version)
        add = find(app, "push button", "Add model").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    finally:
        proc.terminate()
        proc.wait(timeout=10)
    with tempfile.TemporaryDirectory() as folder:
        check_message_box(viewer, folder, (add.x + add.width // 2, add.y + add.height // 2))
        check_archive_chooser(viewer, model, folder)


main()
report("atspi_check")
