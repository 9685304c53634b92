#pragma once

#include "builders/Polyhedron.h"
#include "refine/RefinementRules.h"

namespace faceloom {

// One Catmull-Clark refinement step, in place, under `rules`: every facet of k
// corners becomes k quadrilaterals.
//
// Vertices that no facet uses keep their position. (CGAL's vertex rule averages over
// a vertex's neighbours, and with none it divides by zero and leaves NaN.)
void refineOneStep(Polyhedron& surface, const RefinementRules& rules);

}  // namespace faceloom
