#pragma once

#include <cstdint>
#include <functional>

#include "builders/Polyhedron.h"
#include "refine/FacetLineage.h"
#include "refine/RefinementRules.h"

namespace faceloom {

// Refines `surface` in place by `steps` Catmull-Clark steps, while `lineage` names
// every new facet by its descent, so that two surfaces refined this way can be
// paired facet for facet.
// `shown`, when given, is told before each step its number (from 1) and the facets
// so far.
using StepsShown = std::function<void(int step, std::uint64_t facets)>;
void refineSurface(Polyhedron& surface, FacetLineage& lineage, int steps,
                   const RefinementRules& rules, const StepsShown& shown = {});

// The same on a Surface_mesh, the faster and leaner of the two, with room for all
// steps reserved before the first.
void refineSurface(SurfaceMesh& surface, FacetLineage& lineage, int steps,
                   const RefinementRules& rules, const StepsShown& shown = {});

}  // namespace faceloom
