#include "SurfaceRefinement.h"

#include "CatmullClarkStep.h"

namespace faceloom {

// Refines step by step; the only caller of the lineage's step calls, so that they
// can't be called in another order.
struct LineageSteps {
    static void refine(SurfaceMesh& surface, FacetLineage& lineage, const RefinementRules& rules,
                       StepRange range, const StepsShown& shown) {
        for (int step = range.first; step <= range.last; ++step) {
            if (shown) {
                shown(step, static_cast<std::uint64_t>(surface.number_of_faces()));
            }
            // The lineage reads the surface's size before the step and names the new
            // facets after it, from where CGAL put them.
            lineage.beforeStep(surface);
            refineOneStep(surface, rules);
            lineage.afterStep(surface);
        }
    }
};

void refineSurface(SurfaceMesh& surface, FacetLineage& lineage, const RefinementRules& rules,
                   StepRange range, const StepsShown& shown) {
    if (range.first == 1) {
        reserveForSteps(surface, range.total);
    }
    LineageSteps::refine(surface, lineage, rules, range, shown);
}

}  // namespace faceloom
