#pragma once

#include <cstdint>
#include <optional>

#include "ObjMesh.h"

namespace faceloom {

// Splits every position whose faces make more than one fan around it (two parts
// touching at a corner: a bow-tie, triangles meeting at a point, two cubes sharing a
// vertex), so that each part is refined on its own. Left as it is, such a position
// would be smoothed from all its parts at once and land outside every one of them;
// CGAL's builder refuses it only when a part is closed around it.
//
// Faces that meet three or more at one edge are parted there: each is a sheet of its
// own at that edge, and the edge's positions split with the sheets.
//
// The fan that comes first in the file keeps the position; every other fan gets a
// copy of it, added after the positions of the file in the order the fans come.
struct SplitFans {
    ObjMesh mesh;
    std::uint32_t addedVertices = 0;  // every copy
    std::uint64_t partedEdges = 0;    // edges of three faces or more, parted
    // The copies the split would add were no edge parted: vertices split for parts
    // touching there alone.
    std::uint32_t splitVertices = 0;
};

// Nothing when every position has one fan, or when the faces are no polygons
// (see hasPolygonFaces): the builder reports those.
std::optional<SplitFans> splitVertexFans(const ObjMesh& mesh);

}  // namespace faceloom
