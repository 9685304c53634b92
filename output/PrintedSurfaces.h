#pragma once

#include <string>

#include "app/FacetPairing.h"
#include "output/RefinedMesh.h"

// Reads the Wavefront texts that CGAL's printer made of the refined position surface
// (`meshText`) and texture surface (`uvText`) back into one RefinedMesh. The texture
// indices of position facet k are those of the texture facet that `pairing` names,
// turned by its corner shift.
//
// Without a pairing, or when the texts don't have the facets the pairing speaks of,
// the result is left untextured.
RefinedMesh readPrintedSurfaces(const std::string& meshText, const std::string& uvText,
                                const FacetPairing* pairing);
