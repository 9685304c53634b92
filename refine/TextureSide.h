#pragma once

#include <optional>

#include "Diagnostics.h"
#include "FacetLineage.h"
#include "LastLevel.h"
#include "ObjMesh.h"
#include "PhaseReporter.h"
#include "PositionSide.h"
#include "RefinedMesh.h"
#include "RefinementRules.h"
#include "RepairingBuild.h"
#include "SmoothingOptions.h"
#include "SurfaceMesh.h"
#include "SurfaceRefinement.h"

namespace faceloom {

// The texture side of a run: the layout's surface, built from the faces the positions
// were built from, the rules it is refined by, and the lineage of its refinement.
struct TextureSide {
    SurfaceMesh surface;
    BuiltSurface layout;
    RefinementRules rules;
    std::optional<FacetLineage> lineage;
    LevelPath path = LevelPath::kAllBuilt;
    FilledLater<Point2f> lastUvs;  // of a computed last level, until it is paired
    bool limitSurface = false;     // its last level moved to the limit surface

    // Builds the layout as a polyhedron, reads its smoothing rules off it, and copies
    // it index for index into `surface`; the polyhedron is released at once. A layout
    // that didn't build leaves the surface empty.
    void build(const ObjMesh& faces, const SmoothingOptions& smoothing, PhaseReporter& phases,
               Diagnostics& diagnostics);
    // Refines the layout by `steps` steps along `path`; of a computed last level, the
    // texture coordinates (at their limits when `limitSurface`) are kept in `lastUvs`
    // and the surface at the level before it for the pairing.
    void refine(int steps, LevelPath levels, PhaseReporter& phases);
    // Pairs the refined layout with the refined positions in `mesh` (when `hasOutput`);
    // false when the layout could not be built or paired, which it reports.
    // `outputName` names the output in messages.
    bool pair(const RefinedPositions& positions, bool hasOutput, const char* outputName,
              PhaseReporter& phases, Diagnostics& diagnostics, RefinedMesh& mesh);
};

}  // namespace faceloom
