"""scripts/preview draws pictures a person can use.

    preview_test.py FACELOOM_BINARY SOURCE_DIR

Draws the example cube as it is, refined, and without texture, and checks each
picture: there, of a sensible size, not blank, and showing the contrasting colour
exactly when texture is taken from outside the input's uv islands. The refined cube
written as .glb draws as its OBJ file does.
"""

import os
import subprocess
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")
import matplotlib.image  # noqa: E402
import numpy as np  # noqa: E402

tool, source = sys.argv[1], sys.argv[2]
preview = os.path.join(source, "scripts", "preview")
cube = os.path.join(source, "examples", "textured_cube.obj")
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAILED : " + message)


def draw(name, mesh, *options):
    png = os.path.join(scratch, name + ".png")
    run = subprocess.run([sys.executable, preview, mesh, png, *options],
                         capture_output=True, text=True)
    check(run.returncode == 0, "%s: preview exited with %d: %s" % (name, run.returncode, run.stderr))
    check(os.path.isfile(png), name + ": no picture written")
    if not os.path.isfile(png):
        return None
    image = matplotlib.image.imread(png)[..., :3]
    h, w = image.shape[:2]
    check(200 <= h <= 2000 and 400 <= w <= 4000, "%s: odd size %dx%d" % (name, w, h))
    colours = len(np.unique((image * 255).astype(np.uint8).reshape(-1, 3), axis=0))
    check(colours > 20, "%s: only %d distinct colours" % (name, colours))
    return image


def contrasting_pixels(image):
    """Pixels of the (shaded) colour marking texture from outside the islands."""
    r, g, b = image[..., 0], image[..., 1], image[..., 2]
    return int(((r > 0.3) & (g < 0.25 * r) & (b > 0.4 * r)).sum())


with tempfile.TemporaryDirectory() as scratch:
    image = draw("cube", cube, "--views", "3", "--uv-panel")
    if image is not None:
        check(contrasting_pixels(image) == 0, "cube: contrasting colour inside its own islands")

    refined = os.path.join(scratch, "refined.obj")
    run = subprocess.run([tool, "2", cube, refined], capture_output=True, text=True)
    check(run.returncode == 0, "Faceloom failed: " + run.stderr)
    # Smoothing rounds the concave corners of the cube's cross-shaped layout outwards.
    image = draw("refined", refined, "--islands", cube)
    if image is not None:
        check(contrasting_pixels(image) > 50, "refined: texture from outside the islands not shown")

    # The same refinement as a glTF binary: the same picture, texture and all.
    binary = os.path.join(scratch, "refined.glb")
    run = subprocess.run([tool, "2", cube, binary], capture_output=True, text=True)
    check(run.returncode == 0, "Faceloom failed: " + run.stderr)
    other = draw("refined-glb", binary, "--islands", cube)
    if image is not None and other is not None:
        difference = np.abs(image - other).mean()
        check(difference < 0.02, "refined-glb: differs from the OBJ's picture by %.3f" % difference)

    plain = os.path.join(scratch, "plain.obj")
    run = subprocess.run([tool, "2", os.path.join(source, "tests", "data", "cube_without_texture.obj"),
                          plain], capture_output=True, text=True)
    check(run.returncode == 0, "Faceloom failed: " + run.stderr)
    image = draw("untextured", plain)
    if image is not None:
        spread = image.max(axis=2) - image.min(axis=2)
        check(spread.max() < 0.02, "untextured: coloured pixels in a grey picture")

sys.exit(1 if failures else 0)
