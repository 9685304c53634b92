#pragma once

#include <cstdint>
#include <optional>

#include "mesh/ObjMesh.h"

namespace faceloom {

// Repairs a texture layout that CGAL's builder refuses as a flat surface. Exporters
// share one texture coordinate between places far apart on the mesh (mirrored
// halves, overlapping islands), which makes the flat layout non-manifold. Giving
// every (position, texture coordinate) pair the faces use a texture vertex of its
// own, at that coordinate, turns the layout into the position surface cut open along
// the texture seams: valid wherever the position surface is.
struct SplitTexture {
    ObjMesh mesh;
    std::uint32_t sharedBefore = 0;  // texture coordinates the faces used
    std::uint32_t after = 0;         // texture vertices after the split
};

// Nothing when a face corner has no valid texture index (there is nothing to split
// then) or a face could not be read.
std::optional<SplitTexture> splitTextureSeams(const ObjMesh& mesh);

}  // namespace faceloom
