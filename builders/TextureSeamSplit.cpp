#include "builders/TextureSeamSplit.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "mesh/SharedArray.h"

namespace faceloom {

std::optional<SplitTexture> splitTextureSeams(const ObjMesh& mesh) {
    const auto uvs = mesh.getUVs();
    const auto faceTypes = mesh.getFaceTypes();
    const auto corners = mesh.getCorners();
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        if (faceTypes[face].x == kCornersUnread) {
            return std::nullopt;
        }
    }

    std::unordered_map<std::uint64_t, std::uint32_t> vertexOfPair;
    std::vector<bool> used(mesh.uvCount);
    std::vector<vec2<float>> newUVs;
    boost::shared_array<vec2<unsigned int>> newCorners(new vec2<unsigned int>[mesh.cornerCount]);
    for (std::uint64_t i = 0; i < mesh.cornerCount; ++i) {
        const vec2<unsigned int> corner = corners[i];
        if (corner.y < 1 || corner.y > mesh.uvCount) {
            return std::nullopt;
        }
        used[corner.y - 1] = true;
        const std::uint64_t pair = (std::uint64_t{corner.x} << 32) | corner.y;
        const auto added = vertexOfPair.emplace(pair, static_cast<std::uint32_t>(newUVs.size()));
        if (added.second) {
            newUVs.push_back(uvs[corner.y - 1]);
        }
        newCorners[i] = {corner.x, added.first->second + 1};
    }

    SplitTexture result{mesh};
    result.sharedBefore = static_cast<std::uint32_t>(std::count(used.begin(), used.end(), true));
    result.after = static_cast<std::uint32_t>(newUVs.size());
    result.mesh.uvs = toSharedArray(newUVs);
    result.mesh.uvCount = result.after;
    result.mesh.corners = newCorners;
    return result;
}

}  // namespace faceloom
