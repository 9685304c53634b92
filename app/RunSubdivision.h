#pragma once

#include "mesh/ObjMesh.h"

// Wall-clock seconds spent in each phase of one run, for the benchmark.
struct PhaseTimes {
    double build = 0;            // building both surfaces
    double refinePositions = 0;
    double refineTexture = 0;
    double handOver = 0;         // from the refined surfaces to the writer's input
    double pairing = 0;
    double write = 0;
};

// The tool's one run: refines `mesh` by `steps` Catmull-Clark steps (1 to 6) and
// writes the refined, textured mesh to `outputPath`. Fills `times` when given.
void runSubdivision(ObjMesh& mesh, const char* outputPath, int steps, PhaseTimes* times = nullptr);
