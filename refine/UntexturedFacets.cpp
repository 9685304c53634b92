#include "UntexturedFacets.h"

#include <cstdint>
#include <limits>

namespace faceloom {

void keepTextureOfTexturedFacets(RefinedMesh& mesh) {
    if (!mesh.textured || mesh.facetTextured.empty() ||
        mesh.facetTextured.size() != mesh.facetCount() ||
        mesh.textureCorners.size() != mesh.positionCorners.size()) {
        return;
    }
    constexpr std::uint32_t kUnused = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> renumbered(mesh.uvs.size(), kUnused);
    for (std::size_t f = 0; f < mesh.facetTextured.size(); ++f) {
        if (mesh.facetTextured[f]) {
            for (std::size_t j = 4 * f; j < 4 * f + 4; ++j) {
                renumbered[mesh.textureCorners[j]] = 0;
            }
        }
    }
    std::uint32_t kept = 0;
    for (std::size_t t = 0; t < mesh.uvs.size(); ++t) {
        if (renumbered[t] != kUnused) {
            mesh.uvs[kept] = mesh.uvs[t];
            renumbered[t] = kept++;
        }
    }
    mesh.uvs.resize(kept);
    for (std::size_t f = 0; f < mesh.facetTextured.size(); ++f) {
        for (std::size_t j = 4 * f; j < 4 * f + 4; ++j) {
            // A facet without texture keeps no texture index that could name anything.
            mesh.textureCorners[j] = mesh.facetTextured[f] ? renumbered[mesh.textureCorners[j]] : 0;
        }
    }
}

}  // namespace faceloom
