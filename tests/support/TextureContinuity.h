#pragma once

#include <string>
#include <vector>

#include "support/ObjFile.h"

namespace test {

// Checks that the texture of a written mesh is continuous wherever it should be:
// every position edge shared by two facets carries the same texture indices at its
// two ends on both facets, or else, on each facet, a texture edge that no other facet
// uses (a seam of the layout). A facet paired with the wrong texture facet, or turned
// the wrong way, breaks this. Edges of facets without texture are not checked. Returns
// one line per broken edge.
std::vector<std::string> textureContinuityProblems(const ObjFile& obj);

}  // namespace test
