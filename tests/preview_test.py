"""scripts/preview draws pictures a person can use.

    preview_test.py FACELOOM_BINARY SOURCE_DIR

Draws the example cube as it is, refined, without texture, and shaded with its
normals, and checks each picture: there, of a sensible size, not blank, showing the
contrasting colour exactly when texture is taken from outside the input's uv
islands, and smoothly shaded where the file has normals. The refined cube written as
.glb draws as its OBJ file does.
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

    # The same refinement with normals, as OBJ and as a glTF binary (which always has
    # normals): the same picture, texture, shading and all.
    pictures = []
    for name in ("refined-normals.obj", "refined-normals.glb"):
        path = os.path.join(scratch, name)
        run = subprocess.run([tool, "--normals", "2", cube, path], capture_output=True, text=True)
        check(run.returncode == 0, "Faceloom failed: " + run.stderr)
        pictures.append(draw(name, path, "--islands", cube))
    if all(picture is not None for picture in pictures):
        difference = np.abs(pictures[0] - pictures[1]).mean()
        check(difference < 0.02, "refined-normals.glb: differs from the OBJ's picture by %.3f"
              % difference)

    plain = os.path.join(scratch, "plain.obj")
    run = subprocess.run([tool, "2", os.path.join(source, "tests", "data", "cube_without_texture.obj"),
                          plain], capture_output=True, text=True)
    check(run.returncode == 0, "Faceloom failed: " + run.stderr)
    image = draw("untextured", plain)
    if image is not None:
        spread = image.max(axis=2) - image.min(axis=2)
        check(spread.max() < 0.02, "untextured: coloured pixels in a grey picture")

    # Shaded with the written normals, the same facets blend into smooth gradients:
    # far fewer steps in brightness from one pixel to the next than at every facet's
    # edge.
    smooth = os.path.join(scratch, "smooth.obj")
    run = subprocess.run([tool, "--normals", "2",
                          os.path.join(source, "tests", "data", "cube_without_texture.obj"), smooth],
                         capture_output=True, text=True)
    check(run.returncode == 0, "Faceloom failed: " + run.stderr)
    shaded = draw("normals", smooth)
    if image is not None and shaded is not None:
        def steps(picture):
            grey = picture[..., 0]
            inside = (grey[:, 1:] < 0.99) & (grey[:, :-1] < 0.99)
            return int(((np.abs(np.diff(grey, axis=1)) > 4 / 255) & inside).sum())
        check(3 * steps(shaded) < steps(image),
              "normals: %d steps in brightness against %d without them"
              % (steps(shaded), steps(image)))

sys.exit(1 if failures else 0)
