#pragma once

#include <cstdint>
#include <vector>

#include "app/FacetLineage.h"

// Which refined texture facet lies over each refined position facet, found by their
// common descent rather than by their place in the facet lists.
struct FacetPairing {
    // Per position facet, in facet order: the texture facet over it...
    std::vector<std::uint32_t> textureFacet;
    // ...and how its corner cycle is turned: position corner a (counted from the target
    // of the facet's halfedge()) lies under texture corner (a + cornerShift) % 4.
    std::vector<std::uint8_t> cornerShift;
};

// Pairs the facets of two surfaces refined from the same faces by the same number of
// steps. False when either lineage is invalid or they don't pair one to one.
bool pairFacets(const FacetLineage& positions, const FacetLineage& texture, FacetPairing& pairing);
