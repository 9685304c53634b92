#pragma once

#include <optional>

#include "console/Diagnostics.h"
#include "console/PhaseReporter.h"
#include "mesh/ObjMesh.h"
#include "output/RefinedMesh.h"
#include "refine/FacetPairing.h"
#include "refine/SmoothingOptions.h"
#include "refine/SurfaceMesh.h"

namespace faceloom {

// What the position side leaves for the rest of the run once its surface is gone.
struct RefinedPositions {
    std::optional<FacetPairing> pairing;  // when there is a texture to pair with
    bool clean = true;                    // false when it reported an error
};

// Refines the built position surface and, with `handOver`, hands it over into `mesh`
// with what each refined facet takes from its face: texture or none, material, object
// and group.
RefinedPositions refinePositions(SurfaceMesh& surface, const ObjMesh& faces, bool withTexture,
                                 int steps, const SmoothingOptions& smoothing, bool handOver,
                                 const char* outputName, PhaseReporter& phases,
                                 Diagnostics& diagnostics, RefinedMesh& mesh);

}  // namespace faceloom
