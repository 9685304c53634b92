#include "VertexFanSplit.h"

#include <limits>
#include <utility>
#include <vector>

#include "CornerFans.h"

namespace faceloom {

std::optional<SplitFans> splitVertexFans(const ObjMesh& mesh) {
    if (!hasPolygonFaces(mesh)) {
        return std::nullopt;
    }
    const std::vector<std::uint64_t> fans = cornerFans(
        mesh, [](std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t) { return true; });

    constexpr std::uint64_t kNoFan = std::numeric_limits<std::uint64_t>::max();
    std::vector<std::uint64_t> keptFan(mesh.vertexCount(), kNoFan);  // per position
    std::vector<std::uint32_t> copyOfFan(mesh.cornerCount(), 0);     // per fan root: 1-based
    std::vector<vec3<float>> positions = mesh.positions;
    std::vector<Corner> corners = mesh.corners;
    for (std::uint64_t c = 0; c < mesh.cornerCount(); ++c) {
        const std::uint32_t position = corners[c].position - 1;
        const std::uint64_t fan = fans[c];
        if (keptFan[position] == kNoFan) {
            keptFan[position] = fan;
        }
        if (keptFan[position] == fan) {
            continue;
        }
        if (copyOfFan[fan] == 0) {
            if (positions.size() >= std::numeric_limits<std::uint32_t>::max()) {
                return std::nullopt;
            }
            positions.push_back(positions[position]);
            copyOfFan[fan] = static_cast<std::uint32_t>(positions.size());
        }
        corners[c].position = copyOfFan[fan];
    }
    if (positions.size() == mesh.vertexCount()) {
        return std::nullopt;
    }
    SplitFans result{withFacesOf(mesh),
                     static_cast<std::uint32_t>(positions.size() - mesh.vertexCount())};
    result.mesh.positions = std::move(positions);
    result.mesh.uvs = mesh.uvs;
    result.mesh.corners = std::move(corners);
    return result;
}

}  // namespace faceloom
