#pragma once

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

// Reserves, before the first of `steps` steps, room for everything every step will
// ask for: the arrays then never move, and their pages are faulted in once rather
// than anew at every step.
void reserveForSteps(SurfaceMesh& surface, int steps);

}  // namespace faceloom
