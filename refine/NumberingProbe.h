#pragma once

#include "SurfaceMesh.h"

namespace faceloom {

// Whether two surfaces are the same item for item: the same points bit for bit, and
// every halfedge's target, next and facet, every vertex's and facet's halfedge.
bool sameSurface(const SurfaceMesh& a, const SurfaceMesh& b);

// Whether CGAL's Catmull-Clark step numbers what it makes as PqqNumbering.h says: tried
// on a small surface with a triangle, quadrilaterals, a pentagon, a border and a vertex
// no facet uses, refined by CGAL's own step and by the computed ones (the first level
// built, then the level after it computed), at a few microseconds' cost. A run that
// finds otherwise refines every level with CGAL's step instead.
bool stepNumberingHolds();

}  // namespace faceloom
