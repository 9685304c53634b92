#include "app/FacetPairing.h"

#include <limits>

bool pairFacets(const FacetLineage& positions, const FacetLineage& texture, FacetPairing& pairing) {
    const auto& slots = positions.slots();
    if (!positions.valid() || !texture.valid() || slots.size() != texture.slots().size()) {
        return false;
    }
    // Both slot lists are permutations of [0, facet count), checked step by step.
    constexpr std::uint32_t kUnset = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> textureAtSlot(slots.size(), kUnset);
    for (std::size_t t = 0; t < texture.slots().size(); ++t) {
        textureAtSlot[texture.slots()[t]] = static_cast<std::uint32_t>(t);
    }
    pairing.textureFacet.resize(slots.size());
    pairing.cornerShift.resize(slots.size());
    for (std::size_t p = 0; p < slots.size(); ++p) {
        const std::uint32_t t = textureAtSlot[slots[p]];
        if (t == kUnset) {
            return false;
        }
        pairing.textureFacet[p] = t;
        // Canonical corner 0 stands at rotation p in one and rotation t in the other.
        pairing.cornerShift[p] =
            static_cast<std::uint8_t>((texture.rotations()[t] - positions.rotations()[p]) & 3);
    }
    return true;
}
