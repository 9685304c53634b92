#include "app/RunSubdivision.h"

void runSubdivision(ObjMesh& /*mesh*/, const char* /*outputPath*/, int /*steps*/) {}
