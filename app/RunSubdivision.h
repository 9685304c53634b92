#pragma once

#include <functional>

#include "console/Diagnostics.h"
#include "console/PhaseReporter.h"
#include "mesh/ObjMesh.h"
#include "output/RefinedMesh.h"
#include "refine/SmoothingOptions.h"
#include "system/MemoryBudget.h"

namespace faceloom {

// The tool's one run: refines `mesh` by `steps` Catmull-Clark steps (1 to 6), smoothed
// as `smoothing` says, and
// writes the refined, textured mesh to `outputPath`. Reports its phases and errors to
// `diagnostics`. Returns true when it reported no error. Fills `times` when given.
bool runSubdivision(ObjMesh& mesh, const char* outputPath, int steps,
                    const SmoothingOptions& smoothing, Diagnostics& diagnostics,
                    PhaseTimes* times = nullptr);

// What a refinement produced.
struct Refinement {
    RefinedMesh mesh;
    bool hasOutput = false;  // the position surface was built: there is a mesh to write
    bool clean = true;       // no error was reported
};

// The run up to the writer: builds and refines both surfaces and hands them over,
// reporting as runSubdivision does. `outputName` only names the output in messages.
// With kBothAtOnce the texture is refined on a second thread while this one refines
// the positions and hands them on; its last step waits until the position surface is
// released. `positionsReady`, when given, is called on this thread with the mesh as
// soon as it holds its positions, facet corners and materials (only when there is
// output), while the texture may still be refining; it may take the positions away
// once it has written them.
// May throw std::exception (memory exhaustion), also from the second thread, which is
// always finished by the time this returns or throws.
Refinement refineMesh(const ObjMesh& mesh, int steps, const SmoothingOptions& smoothing,
                      const char* outputName, PhaseReporter& phases, Diagnostics& diagnostics,
                      SurfaceOverlap overlap = SurfaceOverlap::kOneAtATime,
                      const std::function<void(RefinedMesh&)>& positionsReady = {});

}  // namespace faceloom
