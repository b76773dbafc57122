#!/usr/bin/python3
"""check_animated.py MESHARA_CLI SAMPLES_DIR WORK_DIR

Animated pictures from `meshara-cli render`, read back by Pillow: one picture per frame of the
animation, each within palette error (GIF) or exactly (lossless WebP) of `render --frame K`, with the
delays the rate asks for, looping; a turntable of N has N pictures and picture N/2 shows the model
from behind (its outline is picture 0's mirrored). The progress line appears on a terminal only.
"""
import os, pty, subprocess, sys
from pathlib import Path

import numpy as np
from PIL import Image

cli, samples, work = sys.argv[1], Path(sys.argv[2]), Path(sys.argv[3])
work.mkdir(parents=True, exist_ok=True)
# The pictures of an animation and the stills they are held to share one camera: --fit frames a still on
# its frame and an animation on the whole animation, so the animation's pictures are drawn from the start
# camera; a turntable of one frame is a still turned, fitted to that frame.
common = [str(samples / "knot.md2"), "-t", str(samples / "knot.pcx"), "-l", str(samples / "warm-key.lgt"),
          "--background", "0,0,1"]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(*args, size="96x72"):
    r = subprocess.run([cli, "render", *common, "-s", size, *args], capture_output=True, text=True)
    if r.returncode != 0:
        sys.exit(f"render {' '.join(args)} failed: {r.stderr}")
    return r


def pictures(path):
    """Every picture as RGB numpy, and its duration in ms."""
    image, out = Image.open(path), []
    for i in range(image.n_frames):
        image.seek(i)
        image.load()
        out.append((np.asarray(image.convert("RGB"), dtype=np.int16), image.info.get("duration")))
    return out, image.info.get("loop")


frames = []
for k in range(12):  # the sample's "pulse" is frames 0-11
    run("--frame", str(k), "--start-view", "-o", str(work / f"{k}.png"))
    frames.append(np.asarray(Image.open(work / f"{k}.png").convert("RGB"), dtype=np.int16))

# GIF counts hundredths of a second: at 7 fps the delays round as the time adds up.
sevenths = [10 * (round((i + 1) * 100 / 7) - round(i * 100 / 7)) for i in range(12)]
for fmt, fps, delays in [("gif", None, [100] * 12), ("gif", "7", sevenths),
                         ("webp", None, None), ("webp", "7", None)]:
    out = work / f"pulse.{fmt}"
    # The start view, as the stills: the thumbnail's view would fit the whole animation, not each frame.
    run("-a", "pulse", "--start-view", "-o", str(out), *(["--fps", fps] if fps else []))
    got, loop = pictures(out)
    name = f"{fmt} at {fps or 10} fps"
    check(len(got) == 12, f"{name}: {len(got)} pictures, want 12")
    check(loop == 0, f"{name}: loop {loop}, want 0 (for ever)")
    if fmt == "webp":
        # Timestamps are rounded, not delays: each within a millisecond, adding up to 12 / fps seconds.
        rate = float(fps or 10)
        check(all(abs(d - 1000 / rate) < 1 for _, d in got) and sum(d for _, d in got) == round(12000 / rate),
              f"{name}: delays {[d for _, d in got]}")
    else:
        check([d for _, d in got] == delays, f"{name}: delays {[d for _, d in got]}, want {delays}")
    for k, ((picture, _), want) in enumerate(zip(got, frames)):
        error = np.abs(picture - want)
        if fmt == "webp":
            check(error.max() == 0, f"{name}: picture {k} differs from render --frame {k} by up to {error.max()}")
        else:  # a palette of 256 for each picture: small on average, bounded everywhere
            check(error.mean() < 1 and error.max() < 24,
                  f"{name}: picture {k} off render --frame {k} by {error.mean():.2f} on average, {error.max()} at most")

run("--frame", "3", "--fit", "-o", str(work / "still3.png"))
still3 = np.asarray(Image.open(work / "still3.png").convert("RGB"), dtype=np.int16)
for n in (8, 5):
    out = work / f"turn{n}.webp"
    run("--turntable", str(n), "-f", "3", "--fit", "-o", str(out))
    got, _ = pictures(out)
    check(len(got) == n, f"turntable {n}: {len(got)} pictures")
    check(np.array_equal(got[0][0], still3), f"turntable {n}: picture 0 is not render --frame 3 --fit")
    # From behind, the outline is the front's mirrored about the turn's axis (the middle column after
    # --fit): its extent matches, and no other picture's outline matches better.
    outlines = [np.any(p != [0, 0, 255], axis=2) for p, _ in got]
    mirrored = outlines[0][:, ::-1]
    if n % 2 == 0:
        def extent(o):
            ys, xs = np.nonzero(o)
            return np.array([xs.min(), xs.max(), ys.min(), ys.max()])
        overlaps = [np.logical_and(mirrored, o).sum() / np.logical_or(mirrored, o).sum() for o in outlines]
        check(np.abs(extent(outlines[n // 2]) - extent(mirrored)).max() <= 1 and np.argmax(overlaps) == n // 2,
              f"turntable {n}: picture {n // 2} is not the model from behind: extents {extent(outlines[n // 2])} and "
              f"{extent(mirrored)}, overlaps {np.round(overlaps, 2)}")
    check(not np.array_equal(got[0][0], got[n // 2][0]), f"turntable {n}: picture {n // 2} is picture 0")

# Progress: nothing on a pipe; on a terminal, one line redrawn in place and wiped before the notes.
quiet = run("--turntable", "400", "-o", str(work / "long.gif"), size="320x240")
check("pictures" not in quiet.stderr, f"progress on a pipe: {quiet.stderr!r}")
master, slave = pty.openpty()
proc = subprocess.Popen([cli, "render", *common, "--turntable", "400", "-s", "320x240", "-o", str(work / "long.webp")],
                        stdout=subprocess.DEVNULL, stderr=slave)
os.close(slave)
shown = b""
while True:
    try:
        chunk = os.read(master, 4096)
    except OSError:
        break
    if not chunk:
        break
    shown += chunk
proc.wait()
text = shown.decode()
check(proc.returncode == 0 and "of 400 pictures" in text and "\n" not in text and text.endswith("\r\x1b[K"),
      f"progress on a terminal: {text[-200:]!r}")

for f in failures:
    print(f)
sys.exit(1 if failures else 0)
