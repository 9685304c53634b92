#pragma once

#include "mesh/ObjMesh.h"
#include "output/RefinedMesh.h"

namespace faceloom {

// Wall-clock seconds spent in each phase of one run, for the benchmark.
struct PhaseTimes {
    double build = 0;  // building both surfaces
    double refinePositions = 0;
    double refineTexture = 0;
    double handOver = 0;  // from the refined surfaces to the writer's input
    double pairing = 0;
    double write = 0;
};

// The tool's one run: refines `mesh` by `steps` Catmull-Clark steps (1 to 6) and
// writes the refined, textured mesh to `outputPath`. Prints its phases on standard
// output and its errors on standard error. Returns true when it reported no error.
// Fills `times` when given.
bool runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, PhaseTimes* times = nullptr);

// What a refinement produced.
struct Refinement {
    RefinedMesh mesh;
    bool hasOutput = false;  // the position surface was built: there is a mesh to write
    bool clean = true;       // no error was reported
};

// The run up to the writer: builds and refines both surfaces and hands them over,
// reporting as runSubdivision does. `outputName` only names the output in messages.
// May throw std::exception (memory exhaustion).
Refinement refineMesh(const ObjMesh& mesh, int steps, const char* outputName,
                      PhaseTimes* times = nullptr);

}  // namespace faceloom
