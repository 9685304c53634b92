#pragma once

#include <optional>

#include "Diagnostics.h"
#include "FacetLineage.h"
#include "FacetPairing.h"
#include "LastLevelLimit.h"
#include "ObjMesh.h"
#include "PhaseReporter.h"
#include "RefinedMesh.h"
#include "RefinementRules.h"
#include "RepairingBuild.h"
#include "SmoothingOptions.h"
#include "SurfaceMesh.h"

namespace faceloom {

// The texture side of a run: the layout's surface, built from the faces the positions
// were built from, the rules it is refined by, and the lineage of its refinement.
struct TextureSide {
    SurfaceMesh surface;
    BuiltSurface layout;
    RefinementRules rules;
    std::optional<FacetLineage> lineage;
    // The limit of the last level: its options are set before build().
    LastLevelLimit limit;

    // Builds the layout as a polyhedron, reads its smoothing rules off it, and copies
    // it index for index into `surface`; the polyhedron is released at once. A layout
    // that didn't build leaves the surface empty.
    void build(const ObjMesh& faces, const SmoothingOptions& smoothing, PhaseReporter& phases,
               Diagnostics& diagnostics);
    // Refines the layout by all its `steps` steps but the last, then by the last: the
    // step that makes it four times larger. The console shows both as one phase, paused
    // in between (see PhaseReporter::pause).
    void refineAllButLast(int steps, PhaseReporter& phases);
    void refineLast(int steps, PhaseReporter& phases);
    // Pairs the refined layout with the refined positions in `mesh` (when `hasOutput`);
    // false when the layout could not be built or paired, which it reports.
    // `outputName` names the output in messages.
    bool pair(const std::optional<FacetPairing>& pairing, bool hasOutput, const char* outputName,
              PhaseReporter& phases, Diagnostics& diagnostics, RefinedMesh& mesh);
};

}  // namespace faceloom
