#pragma once

#include <optional>

#include "Diagnostics.h"
#include "FacetLineage.h"
#include "LastLevel.h"
#include "LimitSurface.h"
#include "ObjMesh.h"
#include "PhaseReporter.h"
#include "RefinedMesh.h"
#include "RepairingBuild.h"
#include "SmoothingOptions.h"
#include "SurfaceMesh.h"
#include "SurfaceRefinement.h"

namespace faceloom {

// What the position side leaves for the rest of the run once its surface is gone.
struct RefinedPositions {
    // What the texture is paired by: the refined facets' names (every level built), or
    // the facets of the level before the last (the last level computed).
    std::optional<FacetLineage> lineage;
    PositionParents parents;
    bool clean = true;  // false when it reported an error
};

// The position side of a run: the surface built from the mesh's faces, and the lineage
// of its refinement.
struct PositionSide {
    SurfaceMesh surface;
    BuiltSurface built;
    std::optional<FacetLineage> lineage;
    LevelPath path = LevelPath::kAllBuilt;
    LimitOptions limit;                   // what the last level takes of the limit surface
    PositionParents parents;              // of a computed last level
    std::vector<std::uint32_t> inputFaces;  // of a computed last level: each facet's face

    // Builds the position surface of `mesh`, repairing what must be repaired, and
    // copies it index for index into `surface`; the built polyhedron is released at
    // once. A mesh that didn't build leaves the surface empty.
    void build(const ObjMesh& mesh, PhaseReporter& phases, Diagnostics& diagnostics);
    // Refines the surface by `steps` steps along `path`; a computed last level goes
    // straight into `mesh` (its positions and facet corners).
    void refine(int steps, const SmoothingOptions& smoothing, LevelPath path,
                PhaseReporter& phases, RefinedMesh& mesh);
    // Hands the refinement over into `mesh` (when the surface was built), with what each
    // refined facet takes from its face (`faces`, those the surface was built from):
    // texture or none, material, object and group. `outputName` names the output in
    // messages.
    RefinedPositions handOver(const ObjMesh& faces, bool withTexture, const char* outputName,
                              PhaseReporter& phases, Diagnostics& diagnostics, RefinedMesh& mesh);
};

}  // namespace faceloom
