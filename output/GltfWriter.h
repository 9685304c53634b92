#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "GltfDocument.h"
#include "GltfGeometry.h"

namespace faceloom {

// A primitive of the document whose geometry the refinement replaces.
struct RefinedPrimitive {
    std::size_t mesh = 0;
    std::size_t primitive = 0;
    GltfGeometry geometry;
};

// What a write came to: nothing when it went well, otherwise the file it could not
// write and the system's reason (an errno value), or a reason in words.
struct GltfWriteFailure {
    std::string path;
    std::string why;
};

// Writes `document` with the geometry of each primitive in `refined` replaced: its
// attributes become POSITION (with min and max), NORMAL and TEXCOORD_0 (when
// textured) and its indices a list of triangles, 16-bit where the vertices allow it,
// each in a buffer view of its own. Everything else is carried through as it was:
// nodes, scenes, materials, textures, images, animations, skins, the primitives left
// unrefined, extensions and extras. The accessors and buffer views only the replaced
// geometry used are left out, and every buffer view that stays is copied into one
// buffer. Images named by a relative URI are named from the output's directory.
//
// `binary` writes a glTF binary (.glb), the buffer as its BIN chunk; otherwise glTF
// JSON at `outputPath` and the buffer beside it, named after it with ".bin". Both go
// through OutputFile: a failed write leaves no file, and what was there stays.
// Returns an empty failure (an empty path) when every file was written.
// A file path as a URI: the bytes a URI can't hold as they are percent-encoded.
std::string uriOfPath(const std::string& path);

GltfWriteFailure writeGltf(const GltfDocument& document,
                           const std::vector<RefinedPrimitive>& refined,
                           const std::string& outputPath, bool binary);

}  // namespace faceloom
