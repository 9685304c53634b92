#pragma once

#include "builders/Polyhedron.h"
#include "refine/RefinementRules.h"
#include "refine/SurfaceMesh.h"

namespace faceloom {

// One Catmull-Clark refinement step, in place, under `rules`: every facet of k
// corners becomes k quadrilaterals.
//
// Vertices that no facet uses keep their position. (CGAL's vertex rule averages over
// a vertex's neighbours, and with none it divides by zero and leaves NaN.)
void refineOneStep(Polyhedron& surface, const RefinementRules& rules);

// The same step on a Surface_mesh, with each face point computed once. An
// index-preserving copy of a polyhedron comes out of it exactly as the polyhedron does.
void refineOneStep(SurfaceMesh& surface, const RefinementRules& rules);

// Reserves, before the first of `steps` steps, room for everything every step will
// ask for: the arrays then never move, and their pages are faulted in once rather
// than anew at every step.
void reserveForSteps(SurfaceMesh& surface, int steps);

}  // namespace faceloom
