#include "HelpText.h"

#include <cstdio>

// Set by CMake from the project's version, so the binary and the package agree.
#ifndef FACELOOM_VERSION
#error "FACELOOM_VERSION must be defined by the build"
#endif

namespace faceloom {

void printHelp() {
    std::fputs(
        "\n"
        "\n"
        "Usage : Faceloom [options] <steps> <input> <output>\n"
        "  <steps>       refinement steps, 1 to 6 (anything else: a warning, then 3)\n"
        "  <input>       the mesh to refine: Wavefront OBJ, or glTF 2.0 (.gltf, .glb)\n"
        "  <output>      the file to write, in the format its extension names: .obj,\n"
        "                .gltf (its data in a .bin file beside it) or .glb (- for OBJ\n"
        "                on standard output)\n"
        "\n"
        "glTF : each triangle primitive is refined as a surface of its own; nodes,\n"
        "  materials, textures and animations are kept. A primitive with vertex\n"
        "  colours, a second uv set, skin weights or morph targets is kept unrefined,\n"
        "  with a warning.\n"
        "\n"
        "Options : anywhere on the line, as --name=MODE or --name MODE; -- ends them\n"
        "  -h, --help              print this text, exit with status 255\n"
        "  --version               print the version, exit with status 0\n"
        "  --uv-smooth=MODE        how the texture coordinates are smoothed:\n"
        "    none                            linear: uvs bilinear on each input face\n"
        "    keep-corners                    smooth, but island corners stay put\n"
        "    keep-corners-junctions          ... and where three or more islands meet\n"
        "    keep-corners-junctions-concave  ... and concave island corners\n"
        "    keep-boundaries                 smooth inside the islands, their\n"
        "                                    boundaries linear (recommended for\n"
        "                                    painted textures)\n"
        "    all                             smooth everything (the default)\n"
        "  --boundary-smooth=MODE  how the mesh's own boundary is smoothed:\n"
        "    all                             boundary vertices follow the boundary\n"
        "                                    curve (the default)\n"
        "    keep-corners                    a boundary vertex with only one face\n"
        "                                    stays where it is\n"
        "  --scheme=TYPE           how faces are split and points moved:\n"
        "    catmull-clark                   smooth (the default)\n"
        "    simple                          split the same way, nothing moved: the\n"
        "                                    shape and texture stay as they were\n"
        "  --limit-surface         after the last step, move every vertex and\n"
        "                          texture coordinate to where endless refinement\n"
        "                          would take it (the smooth surface itself)\n"
        "  --normals               write the smooth surface's normal at every vertex\n"
        "                          (\"vn\" lines; faces as v/vt/vn, or v//vn)\n"
        "  An option given twice must have the same value both times.\n"
        "\n"
        "Exit status :\n"
        "  0    no error reported\n"
        "  1    an error was reported, even if a file was written\n"
        "  255  (-1) usage text printed\n"
        "\n"
        "Examples :\n"
        "  Faceloom --uv-smooth=keep-boundaries 2 vase.obj vase_smooth.obj\n"
        "  Faceloom --limit-surface --normals 2 vase.obj vase_shaded.obj\n"
        "  Faceloom 2 helmet.glb helmet_smooth.glb\n",
        stdout);
}

void printVersion() {
    std::printf("Faceloom %s\n", FACELOOM_VERSION);
}

}  // namespace faceloom
