#!/usr/bin/python3
"""The viewer's keys, focus and status line as a screen reader sees them, through AT-SPI.

Run inside a session bus and an X server (dbus-run-session -- xvfb-run ...):
    atspi_keys.py VIEWER MODEL.md2
Starts the viewer on the model at its first size (512 x 384) and checks: the
status bar's name is the whole line, a hint first when no light reaches the
model and the path last; the view takes the focus from a click and then the
extras' keys (Space) reach it; a focused drop-down list keeps Space; the
extras' menu entries say their mnemonics and the view's keys. Exits 1 naming
every check that failed.
"""

import subprocess
import sys
import time

import pyatspi

from atspi_support import app_named, check, checked, click, find, key, press, report, wait_for


def focused(node):
    return node is not None and node.getState().contains(pyatspi.STATE_FOCUSED)


def main():
    viewer, model = sys.argv[1], sys.argv[2]
    proc = subprocess.Popen([viewer, model])
    time.sleep(2)
    try:
        app = wait_for(lambda: app_named("meshara"))
        check(app is not None, "the viewer is on the accessibility bus")
        if app is None:
            return
        status = wait_for(lambda: find(app, "status bar", starts="frame 0"))
        check(status is not None and status.name.endswith(" \u00b7 " + model),
              "the status bar's name is the whole line, the path last: %r" % (status.name if status else None))
        remove = wait_for(lambda: find(app, "push button", "Remove light from model"))
        if remove is not None:
            press(remove)
            check(wait_for(lambda: (status.name or "").startswith("no light reaches the model")),
                  "without a light the hint comes first: %r" % status.name)
        view = find(app, "panel", "Model view")
        play = find(app, "check menu item", "Play Animation")
        check(view is not None and play is not None, "the view and Play Animation are there")
        if view is None or play is None:
            return
        click(view, 0.3)
        check(wait_for(lambda: focused(view)), "a click gives the view the focus")
        key(0x20, 0.3)  # Space
        check(wait_for(lambda: checked(play)), "Space on the focused view plays")
        key(0x20, 0.3)
        check(wait_for(lambda: not checked(play)), "and stops")
        models = find(app, "combo box", "Models")
        if models is not None:
            click(models, 0.3)  # opens its list; Escape closes it and leaves the focus on the box
            key(0xFF1B, 0.3)
            check(not focused(view), "the view gave up the focus to the Models box")
            key(0x20, 0.3)
            time.sleep(0.3)
            key(0xFF1B, 0.3)  # Escape: Space opened the list
            check(not checked(play), "Space on the focused Models box does not play")
        else:
            check(False, "the Models box is named")
        # The mnemonic is where a screen reader finds it: in the entry's key binding.
        entry = find(app, "menu item", "Open Model...")
        binding = entry.queryAction().getKeyBinding(0) if entry is not None else ""
        check("o" in binding.split(";")[0].lower(), "Open Model... has its mnemonic: %r" % binding)
        # The view's keys are shown beside their entries, modifiers and all.
        for name, shown in (("Turn Left", "<Shift>Left"), ("Move Up", "<Primary>Up"), ("Zoom In", "plus")):
            entry = find(app, "menu item", name)
            binding = entry.queryAction().getKeyBinding(0) if entry is not None else ""
            check(binding.endswith(";" + shown), "%s shows %s: %r" % (name, shown, binding))
    finally:
        proc.terminate()
        proc.wait(timeout=10)


main()
report("atspi_keys")
