#pragma once

#include <cstddef>

#include "RefinementRules.h"
#include "SurfaceMesh.h"

namespace faceloom {

// One Catmull-Clark refinement step, in place, under `rules`: every facet of k
// corners becomes k quadrilaterals. Each face point is computed once (see
// FacePointCachingMask); the points come out bit for bit as CGAL's own mask makes them.
//
// Vertices that no facet uses keep their position. (CGAL's vertex rule averages over
// a vertex's neighbours, and with none it divides by zero and leaves NaN.)
void refineOneStep(SurfaceMesh& surface, const RefinementRules& rules);

// The sizes of a surface along its refinement. A step turns V vertices, E edges and F
// facets of C corners in all into V + E + F vertices, 2E + C edges and C four-cornered
// facets.
struct LevelSizes {
    std::size_t vertices = 0, edges = 0, facets = 0, corners = 0;

    LevelSizes next() const {
        return {vertices + edges + facets, 2 * edges + corners, corners, 4 * corners};
    }
};
LevelSizes sizesOf(const SurfaceMesh& surface);

// Room for the items of a surface.
struct LevelRoom {
    std::size_t vertices = 0, edges = 0, facets = 0;
};

// The room `steps` of CGAL's steps ask for, one after the other from `level` (each asks
// for V + E + F vertices, 8E edges and 2E facets, more than it makes). Reserved before
// the first, the arrays never move, and their pages are faulted in once.
LevelRoom roomForSteps(LevelSizes level, int steps);

inline void reserveRoom(SurfaceMesh& surface, const LevelRoom& room) {
    surface.reserve(room.vertices, room.edges, room.facets);
}

}  // namespace faceloom
