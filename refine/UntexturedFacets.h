#pragma once

#include "RefinedMesh.h"

namespace faceloom {

// The facets of faces without texture were refined over layout vertices of their
// own, which the file must not name: keeps only the texture coordinates that a facet
// with texture uses (in their order) and renumbers the texture corners to match.
// Does nothing when the mesh is untextured or every facet has texture.
void keepTextureOfTexturedFacets(RefinedMesh& mesh);

}  // namespace faceloom
