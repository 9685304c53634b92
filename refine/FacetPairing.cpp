#include "FacetPairing.h"

namespace faceloom {

FacetPairing::FacetPairing(const FacetLineage& positions) {
    if (!positions.valid()) {
        return;
    }
    // The slots are a permutation of [0, facet count): the lineage checks this at
    // every step.
    const auto& slots = positions.slots();
    facetAtSlot_.resize(slots.size());
    for (std::size_t p = 0; p < slots.size(); ++p) {
        facetAtSlot_[slots[p]] = static_cast<std::uint32_t>(p);
    }
    rotations_.assign(positions.rotations().begin(), positions.rotations().end());
}

}  // namespace faceloom
