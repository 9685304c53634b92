#include "VertexFanSplit.h"

#include <limits>
#include <utility>
#include <vector>

#include "CornerFans.h"

namespace faceloom {

namespace {

constexpr std::uint64_t kNoFan = std::numeric_limits<std::uint64_t>::max();

bool joinAll(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t) {
    return true;
}

// The copies a split into `fans` adds: one per fan of a position beyond its first.
std::uint32_t copiesFor(const ObjMesh& mesh, const std::vector<std::uint64_t>& fans) {
    std::vector<std::uint64_t> keptFan(mesh.vertexCount(), kNoFan);  // per position
    std::vector<bool> counted(mesh.cornerCount(), false);            // per fan root
    std::uint32_t copies = 0;
    for (std::uint64_t c = 0; c < mesh.cornerCount(); ++c) {
        std::uint64_t& kept = keptFan[mesh.corners[c].position - 1];
        if (kept == kNoFan) {
            kept = fans[c];
        } else if (kept != fans[c] && !counted[fans[c]]) {
            counted[fans[c]] = true;
            ++copies;
        }
    }
    return copies;
}

}  // namespace

std::optional<SplitFans> splitVertexFans(const ObjMesh& mesh) {
    if (!hasPolygonFaces(mesh)) {
        return std::nullopt;
    }
    const CornerFans split = cornerFans(mesh, joinAll);
    const std::vector<std::uint64_t>& fans = split.fanOf;

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
                     static_cast<std::uint32_t>(positions.size() - mesh.vertexCount()),
                     split.partedEdges, 0};
    result.splitVertices =
        split.partedEdges == 0
            ? result.addedVertices
            : copiesFor(mesh, cornerFans(mesh, joinAll, CrowdedEdges::kJoin).fanOf);
    result.mesh.positions = std::move(positions);
    result.mesh.uvs = mesh.uvs;
    result.mesh.corners = std::move(corners);
    return result;
}

}  // namespace faceloom
