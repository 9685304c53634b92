#pragma once

#include <string>

#include "output/RefinedMesh.h"

// Reads the Wavefront texts that CGAL's printer made of the refined position surface
// (`meshText`) and texture surface (`uvText`, empty when there is none) back into one
// RefinedMesh, pairing the k-th facet of one text with the k-th facet of the other,
// corner j with corner j.
//
// The result is textured only when both texts have the same number of facets; a
// texture text that can't pair (fewer or more facets) leaves it untextured and sets
// `textureMismatch`.
RefinedMesh readPrintedSurfaces(const std::string& meshText, const std::string& uvText,
                                bool& textureMismatch);
