#include "refine/SurfaceRefinement.h"

#include "refine/CatmullClarkStep.h"

namespace faceloom {

void refineSurface(Polyhedron& surface, FacetLineage& lineage, int steps,
                   const RefinementRules& rules) {
    for (int i = 0; i < steps; ++i) {
        // The lineage reads the surface's size before the step and names the new
        // facets after it, from where CGAL put them.
        lineage.beforeStep(surface);
        refineOneStep(surface, rules);
        lineage.afterStep(surface);
    }
}

void refineSurface(SurfaceMesh& surface, FacetLineage& lineage, int steps,
                   const RefinementRules& rules) {
    reserveForSteps(surface, steps);
    for (int i = 0; i < steps; ++i) {
        lineage.beforeStep(surface);
        refineOneStep(surface, rules);
        lineage.afterStep(surface);
    }
}

}  // namespace faceloom
