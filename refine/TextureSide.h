#pragma once

#include <functional>
#include <optional>

#include "builders/RepairingBuild.h"
#include "console/Diagnostics.h"
#include "console/PhaseReporter.h"
#include "mesh/ObjMesh.h"
#include "output/RefinedMesh.h"
#include "refine/FacetLineage.h"
#include "refine/FacetPairing.h"
#include "refine/RefinementRules.h"
#include "refine/SmoothingOptions.h"
#include "refine/SurfaceMesh.h"

namespace faceloom {

// Copies a built surface into the one that is refined; when it can't, says so as the
// builder would and takes the surface as not built.
void copyForRefinement(const Polyhedron& built, const ObjMesh& faces, SurfaceMesh& surface,
                       BuiltSurface& result, Diagnostics& diagnostics);

// The texture side of a run: the layout's surface, built from the faces the positions
// were built from, the rules it is refined by, and the lineage of its refinement.
// Its three steps may run on another thread than the position side's, given their own
// reporter and diagnostics.
struct TextureSide {
    SurfaceMesh surface;
    BuiltSurface layout;
    RefinementRules rules;
    std::optional<FacetLineage> lineage;

    // Builds the layout as a polyhedron, reads its smoothing rules off it, and copies
    // it index for index into `surface`; the polyhedron is released at once. A layout
    // that didn't build leaves the surface empty.
    void build(const ObjMesh& faces, const SmoothingOptions& smoothing, PhaseReporter& phases,
               Diagnostics& diagnostics);
    // Refines the layout by `steps` steps. `beforeLastStep`, when given, is called
    // before the last one, the step that needs by far the most memory: it may hold the
    // step back until there is room for it.
    void refine(int steps, PhaseReporter& phases, const std::function<void()>& beforeLastStep = {});
    // Pairs the refined layout with the refined positions in `mesh` (when `hasOutput`);
    // false when the layout could not be built or paired, which it reports.
    bool pair(const std::optional<FacetPairing>& pairing, bool hasOutput, const char* outputName,
              PhaseReporter& phases, Diagnostics& diagnostics, RefinedMesh& mesh);
};

}  // namespace faceloom
