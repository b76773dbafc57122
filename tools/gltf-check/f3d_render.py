#!/usr/bin/python3
"""Draws glTF files with F3D, whose reader (VTK's) shares nothing with Meshara, and checks that each loads and
draws: f3d exits 0, prints no error, and its picture shows more than the background. Needs a display (xvfb-run).

  f3d_render.py FILE.glb|FILE.gltf...            draws the files
  f3d_render.py --cli MESHARA_CLI --work DIR (--model MODEL.md2 [EXPORT OPTION...] | --corpus DIR)
                                                 exports the model, or every model of a corpus folder (each with
                                                 the picture beside it whose name starts with its own, if any),
                                                 as .glb and .gltf into DIR, and draws them; exits 77 (skipped)
                                                 when the corpus folder is not there
"""
import argparse
import pathlib
import subprocess
import sys

from PIL import Image

SKIPPED = 77


def drawn_fraction(png):
    """The share of the picture's pixels that differ from its corner's colour, the background."""
    picture = Image.open(png).convert('RGB')
    background = picture.getpixel((0, 0))
    pixels = list(picture.getdata())
    differ = sum(1 for p in pixels if max(abs(a - b) for a, b in zip(p, background)) > 24)
    return differ / len(pixels)


def draw(f3d, path, picture):
    """Why F3D failed to draw path into picture, or None."""
    picture.unlink(missing_ok=True)
    try:
        run = subprocess.run([f3d, '--resolution=320,240', f'--output={picture}', str(path)],
                             capture_output=True, text=True, timeout=120)
    except subprocess.TimeoutExpired:
        return 'f3d did not finish within 120 s'
    said = (run.stdout + run.stderr).strip()
    if run.returncode != 0:
        return f'f3d exited with {run.returncode}: {said[-500:]}'
    if 'ERROR' in said:
        return f'f3d reported an error: {said[-500:]}'
    if not picture.exists():
        return 'f3d wrote no picture'
    fraction = drawn_fraction(picture)
    if fraction < 0.005:
        return f'the picture is background only ({fraction:.2%} of it differs)'
    print(f'{path}: drawn, {fraction:.1%} of the picture is the model')
    return None


def export(cli, model, options, work):
    """The model exported as .glb and .gltf into work."""
    files = []
    for extension in ('.glb', '.gltf'):
        out = work / (model.stem + extension)
        run = subprocess.run([cli, 'export', str(model), *options, '-o', str(out)], capture_output=True, text=True)
        if run.returncode != 0:
            sys.exit(f'{model}: meshara-cli export failed: {run.stderr.strip()}')
        files.append(out)
    return files


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--f3d', default='f3d')
    parser.add_argument('--cli')
    parser.add_argument('--work', type=pathlib.Path)
    parser.add_argument('--model', type=pathlib.Path)
    parser.add_argument('--corpus', type=pathlib.Path)
    args, rest = parser.parse_known_args()
    if args.model or args.corpus:
        args.work.mkdir(parents=True, exist_ok=True)
        files = []
        if args.model:
            files += export(args.cli, args.model, rest, args.work)
        else:
            if not args.corpus.is_dir():
                print(f'skipped: the corpus of real models is not at {args.corpus}')
                return SKIPPED
            for model in sorted(args.corpus.glob('*.md2')):
                if model.name.startswith('malformed'):
                    continue  # refused by export, as it should be
                pictures = sorted(p for p in model.parent.iterdir()
                                  if p.suffix.lower() in ('.bmp', '.pcx', '.png', '.tga', '.jpg')
                                  and p.stem.startswith(model.stem))
                files += export(args.cli, model, ['--texture', str(pictures[0])] if pictures else [], args.work)
    else:
        files = [pathlib.Path(f) for f in rest]
        args.work = pathlib.Path('/tmp')
    failed = 0
    for path in files:
        problem = draw(args.f3d, path, args.work / (path.name + '.f3d.png'))
        if problem:
            print(f'{path}: {problem}')
            failed += 1
    print(f'{len(files)} files drawn by F3D, {failed} failed')
    return 1 if failed or not files else 0


if __name__ == '__main__':
    sys.exit(main())
