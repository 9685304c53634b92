#pragma once

#include <cstddef>
#include <optional>

#include "ObjMesh.h"

namespace faceloom {

// Repairs a face list that CGAL's builder refuses as a position surface: faces wound
// against their neighbours are turned round and vertices where the faces don't meet
// as one fan (two cubes sharing a corner, say) are split, by CGAL's
// orient_polygon_soup, and faces meeting three or more at one edge are parted there
// (CGAL's duplicate_non_manifold_edges_in_polygon_soup). Each turned face has its texture corners
// turned with it, so that corner j still pairs with corner j; split positions are added after the
// others.
struct OrientedFaces {
    ObjMesh mesh;
    std::size_t turnedFaces = 0;
    std::size_t splitVertices = 0;  // positions added by the orientation, parting aside
    std::size_t splitEdges = 0;     // edges of three or more faces parted
};

// Nothing when the faces can't be repaired this way (indices out of range, a face
// that names a vertex twice or could not be read) or when nothing needed repair.
std::optional<OrientedFaces> orientFaces(const ObjMesh& mesh);

}  // namespace faceloom
