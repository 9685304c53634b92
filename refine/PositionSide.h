#pragma once

#include <optional>

#include "Diagnostics.h"
#include "FacetLineage.h"
#include "FacetPairing.h"
#include "LastLevelLimit.h"
#include "ObjMesh.h"
#include "PhaseReporter.h"
#include "RefinedMesh.h"
#include "RepairingBuild.h"
#include "SmoothingOptions.h"
#include "SurfaceMesh.h"

namespace faceloom {

// What the position side leaves for the rest of the run once its surface is gone.
struct RefinedPositions {
    std::optional<FacetPairing> pairing;  // when there is a texture to pair with
    bool clean = true;                    // false when it reported an error
};

// The position side of a run: the surface built from the mesh's faces, and the lineage
// of its refinement.
struct PositionSide {
    SurfaceMesh surface;
    BuiltSurface built;
    std::optional<FacetLineage> lineage;
    // The limit of the last level: its options are set before refine().
    LastLevelLimit limit;

    // Builds the position surface of `mesh`, repairing what must be repaired, and
    // copies it index for index into `surface`; the built polyhedron is released at
    // once. A mesh that didn't build leaves the surface empty.
    void build(const ObjMesh& mesh, PhaseReporter& phases, Diagnostics& diagnostics);
    // Refines the surface by `steps` steps.
    void refine(int steps, const SmoothingOptions& smoothing, PhaseReporter& phases);
    // Hands the refined surface over into `mesh` (when it was built), with what each
    // refined facet takes from its face (`faces`, those the surface was built from):
    // texture or none, material, object and group. `outputName` names the output in
    // messages.
    RefinedPositions handOver(const ObjMesh& faces, bool withTexture, const char* outputName,
                              PhaseReporter& phases, Diagnostics& diagnostics, RefinedMesh& mesh);
};

}  // namespace faceloom
