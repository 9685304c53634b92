#pragma once

#include <cstdint>
#include <vector>

#include "FacetLineage.h"

namespace faceloom {

// What the pairing keeps of the refined position surface once the surface itself is
// gone: which position facet holds each slot, and how each is turned. A few bytes per
// facet instead of the whole surface.
class FacetPairing {
public:
    // From the lineage of the refined position surface; invalid when that is.
    explicit FacetPairing(const FacetLineage& positions);

    bool valid() const { return !facetAtSlot_.empty(); }
    std::size_t facetCount() const { return facetAtSlot_.size(); }

    // The position facet that descends from the same input face, by the same corners,
    // as the texture facet with `slot`.
    std::uint32_t positionFacet(std::uint32_t slot) const { return facetAtSlot_[slot]; }

    // The texture corner that lies over corner a of position facet p (corners counted
    // from the target of each facet's halfedge()), for a texture facet turned by
    // `textureRotation` (its lineage rotation).
    unsigned textureCorner(std::uint32_t p, unsigned a, unsigned textureRotation) const {
        // Corner a of p is its canonical corner a - rotation(p); the texture facet has
        // that canonical corner at (canonical + textureRotation).
        return (a - rotations_[p] + textureRotation) & 3u;
    }

private:
    std::vector<std::uint32_t> facetAtSlot_;
    std::vector<std::uint8_t> rotations_;  // per position facet
};

}  // namespace faceloom
