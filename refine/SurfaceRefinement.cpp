#include "SurfaceRefinement.h"

#include <utility>
#include <vector>

#include "CatmullClarkStep.h"
#include "FirstLevel.h"
#include "PqqNumbering.h"

namespace faceloom {

namespace {

// Names the facets a step of `surface` makes, before the step, in closed form.
void nameChildren(const SurfaceMesh& surface, FacetLineage& lineage) {
    if (!lineage.valid()) {
        return;
    }
    const std::size_t children = sizesOf(surface).corners;
    FilledLater<std::uint32_t> slots(children);
    FilledLater<std::uint8_t> rotations(children);
    forEachChild(surface, [&](const ParentFacet& parent, std::uint32_t place) {
        const std::uint32_t child = parent.child(place);
        slots[child] = lineage.childSlot(parent.facet, place, parent.corners());
        rotations[child] = parent.childRotation(place);
    });
    lineage.nameNextLevel(std::move(slots), std::move(rotations));
}

void show(const StepsShown& shown, int step, const SurfaceMesh& surface) {
    if (shown) {
        shown(step, static_cast<std::uint64_t>(surface.number_of_faces()));
    }
}

}  // namespace

// Refines step by step; the only caller of the lineage's step calls, so that they
// can't be called in another order.
struct LineageSteps {
    static void refine(SurfaceMesh& surface, FacetLineage& lineage, const RefinementRules& rules,
                       StepRange range, const StepsShown& shown) {
        for (int step = range.first; step <= range.last; ++step) {
            show(shown, step, surface);
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
        reserveRoom(surface, roomForSteps(sizesOf(surface), range.total));
    }
    LineageSteps::refine(surface, lineage, rules, range, shown);
}

void refineToLevelBeforeLast(SurfaceMesh& surface, FacetLineage& lineage,
                             const RefinementRules& rules, int steps, const StepsShown& shown) {
    if (steps < 2) {
        return;
    }
    show(shown, 1, surface);
    // CGAL's steps after the first ask for their room from the first level on.
    const LevelRoom room = roomForSteps(sizesOf(surface).next(), steps - 2);
    nameChildren(surface, lineage);
    SurfaceMesh level;
    buildFirstLevel(surface, rules, room, level);
    surface = std::move(level);
    for (int step = 2; step < steps; ++step) {
        show(shown, step, surface);
        nameChildren(surface, lineage);
        refineOneStep(surface, rules);
    }
}

bool refineOnPath(LevelPath path, SurfaceMesh& surface, FacetLineage& lineage,
                  const RefinementRules& rules, int steps, const StepsShown& shown) {
    if (path == LevelPath::kAllBuilt) {
        refineSurface(surface, lineage, rules, {1, steps, steps}, shown);
        return false;
    }
    refineToLevelBeforeLast(surface, lineage, rules, steps, shown);
    if (shown) {
        shown(steps, surface.number_of_faces());
    }
    return true;
}

}  // namespace faceloom
