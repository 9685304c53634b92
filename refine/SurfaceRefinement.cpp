#include "refine/SurfaceRefinement.h"

#include <CGAL/boost/graph/helpers.h>

#include "refine/CatmullClarkStep.h"

namespace faceloom {

// Refines step by step; the only caller of the lineage's step calls, so that they
// can't be called in another order.
struct LineageSteps {
    template <class Surface>
    static void refine(Surface& surface, FacetLineage& lineage, int steps,
                       const RefinementRules& rules, const StepsShown& shown) {
        for (int i = 0; i < steps; ++i) {
            if (shown) {
                shown(i + 1, static_cast<std::uint64_t>(num_faces(surface)));
            }
            // The lineage reads the surface's size before the step and names the new
            // facets after it, from where CGAL put them.
            lineage.beforeStep(surface);
            refineOneStep(surface, rules);
            lineage.afterStep(surface);
        }
    }
};

void refineSurface(Polyhedron& surface, FacetLineage& lineage, int steps,
                   const RefinementRules& rules, const StepsShown& shown) {
    LineageSteps::refine(surface, lineage, steps, rules, shown);
}

void refineSurface(SurfaceMesh& surface, FacetLineage& lineage, int steps,
                   const RefinementRules& rules, const StepsShown& shown) {
    reserveForSteps(surface, steps);
    LineageSteps::refine(surface, lineage, steps, rules, shown);
}

}  // namespace faceloom
