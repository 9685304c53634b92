#pragma once

#include "mesh/ObjMesh.h"

// The tool's one run: refines `mesh` by `steps` Catmull-Clark steps (1 to 6) and
// writes the refined, textured mesh to `outputPath`.
void runSubdivision(ObjMesh& mesh, const char* outputPath, int steps);
