#pragma once

#include <cstdint>
#include <functional>

#include "FacetLineage.h"
#include "RefinementRules.h"
#include "SurfaceMesh.h"

namespace faceloom {

// How a refinement makes its levels: the last one computed from the level before it
// (LastLevel.h), which needs stepNumberingHolds(), or every one built by CGAL's step.
enum class LevelPath { kLastComputed, kAllBuilt };

// Which steps of a refinement of `total` steps to run: `first` to `last`, from 1.
struct StepRange {
    int first;
    int last;
    int total;
};

// `shown`, when given, is told before each step its number (from 1) and the facets so
// far.
using StepsShown = std::function<void(int step, std::uint64_t facets)>;

// Refines `surface` in place by the Catmull-Clark steps of `range`, each built by
// CGAL's step, while `lineage` names every new facet by reading it, so that two
// surfaces refined this way can be paired facet for facet. Room for all `range.total`
// steps is reserved before the first.
void refineSurface(SurfaceMesh& surface, FacetLineage& lineage, const RefinementRules& rules,
                   StepRange range, const StepsShown& shown = {});

// Refines `surface` in place to the level before the last of `steps` steps, for the
// last to be computed (LastLevel.h): the first level built at once (FirstLevel.h), the
// others by CGAL's step, `lineage` naming the facets in closed form (PqqNumbering.h).
// Shows every step but the last. Needs stepNumberingHolds().
void refineToLevelBeforeLast(SurfaceMesh& surface, FacetLineage& lineage,
                             const RefinementRules& rules, int steps,
                             const StepsShown& shown = {});

// Refines `surface` by `steps` steps on `path`: every level built (refineSurface), or
// up to the level before the last (refineToLevelBeforeLast), the last step then shown
// as under way. True when the last level is still to be computed.
bool refineOnPath(LevelPath path, SurfaceMesh& surface, FacetLineage& lineage,
                  const RefinementRules& rules, int steps, const StepsShown& shown);

}  // namespace faceloom
