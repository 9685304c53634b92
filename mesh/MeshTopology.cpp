#include "MeshTopology.h"

#include <algorithm>

namespace faceloom {

std::uint32_t firstRepeated(const std::vector<std::uint32_t>& indices) {
    // Every face of every file passes here: most are small, and are told apart
    // without allocating.
    if (indices.size() <= 16) {
        for (std::size_t i = 0; i < indices.size(); ++i) {
            for (std::size_t j = i + 1; j < indices.size(); ++j) {
                if (indices[i] == indices[j] && indices[i] != kNoneRepeated) {
                    return indices[i];
                }
            }
        }
        return kNoneRepeated;
    }
    std::vector<std::uint32_t> sorted(indices);
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i] == sorted[i - 1] && sorted[i] != kNoneRepeated) {
            return sorted[i];
        }
    }
    return kNoneRepeated;
}

bool hasPolygonFaces(const ObjMesh& mesh) {
    std::vector<std::uint32_t> indices;
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        if (mesh.faceTypes[face].form == kCornersUnread || mesh.faceTypes[face].count < 3) {
            return false;
        }
        indices.clear();
        for (const Corner& corner : mesh.faceCorners(face)) {
            if (corner.position < 1 || corner.position > mesh.vertexCount()) {
                return false;
            }
            indices.push_back(corner.position);
        }
        if (firstRepeated(indices) != kNoneRepeated) {
            return false;
        }
    }
    return true;
}

std::vector<EdgeUse> sortedEdgeUses(const ObjMesh& mesh, CornerSide side) {
    std::vector<EdgeUse> uses;
    uses.reserve(mesh.cornerCount());
    for (std::uint32_t face = 0; face < mesh.faceCount(); ++face) {
        const std::uint64_t first = mesh.faceStarts[face];
        const std::uint32_t n = mesh.faceTypes[face].count;
        for (std::uint32_t k = 0; k < n; ++k) {
            std::uint64_t a = first + k, b = first + (k + 1) % n;
            if (indexOf(mesh.corners[a], side) > indexOf(mesh.corners[b], side)) {
                std::swap(a, b);
            }
            uses.push_back({std::uint64_t{indexOf(mesh.corners[a], side)} << 32 |
                                indexOf(mesh.corners[b], side),
                            a, b});
        }
    }
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& l, const EdgeUse& r) {
        return l.key < r.key || (l.key == r.key && l.atLow < r.atLow);
    });
    return uses;
}

}  // namespace faceloom
