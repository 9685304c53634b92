#pragma once

#include <cstdint>
#include <functional>

#include "FacetLineage.h"
#include "RefinementRules.h"
#include "SurfaceMesh.h"

namespace faceloom {

// Which steps of a refinement of `total` steps to run: `first` to `last`, from 1.
struct StepRange {
    int first;
    int last;
    int total;
};

// Refines `surface` in place by the Catmull-Clark steps of `range`, while `lineage`
// names every new facet by its descent, so that two surfaces refined this way can be
// paired facet for facet. Room for all `range.total` steps is reserved before the
// first: the arrays then never move, and their pages are faulted in once.
// `shown`, when given, is told before each step its number (from 1) and the facets
// so far.
using StepsShown = std::function<void(int step, std::uint64_t facets)>;
void refineSurface(SurfaceMesh& surface, FacetLineage& lineage, const RefinementRules& rules,
                   StepRange range, const StepsShown& shown = {});

}  // namespace faceloom
