#pragma once

#include "console/Diagnostics.h"
#include "console/PhaseReporter.h"
#include "mesh/ObjMesh.h"
#include "output/RefinedMesh.h"
#include "refine/SmoothingOptions.h"

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
// May throw std::exception (memory exhaustion).
Refinement refineMesh(const ObjMesh& mesh, int steps, const char* outputName, PhaseReporter& phases,
                      Diagnostics& diagnostics);

}  // namespace faceloom
