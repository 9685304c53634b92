#pragma once

#include <cstdint>
#include <vector>

#include "ObjMesh.h"

namespace faceloom {

// Which index of its corners a face is walked by: its positions, or its texture
// coordinates.
enum class CornerSide { kPosition, kTexture };

inline std::uint32_t indexOf(const Corner& corner, CornerSide side) {
    return side == CornerSide::kPosition ? corner.position : corner.texture;
}

constexpr std::uint32_t kNoneRepeated = 0xffffffffu;

// The first index that stands twice in `indices`, or kNoneRepeated. (An index of
// kNoneRepeated itself is ignored: it stands for one out of range, which the builders
// report.)
std::uint32_t firstRepeated(const std::vector<std::uint32_t>& indices);

// Whether every face of `mesh` can be walked as a polygon of positions: its corners
// were read, there are at least three, each names an existing position, and no
// position twice.
bool hasPolygonFaces(const ObjMesh& mesh);

// One face's use of an edge: the edge (its two indices, the smaller in the high half)
// and the face's corners (places in the record's `corners`) at its smaller and its
// larger end.
struct EdgeUse {
    std::uint64_t key;
    std::uint64_t atLow, atHigh;
};

// Every face's use of every edge between its corners, by the `side` index, sorted by
// edge: the uses of one edge stand together, in the order of their faces.
std::vector<EdgeUse> sortedEdgeUses(const ObjMesh& mesh, CornerSide side);

// Calls visit(first, count) for each edge: its `count` uses from uses[first] on.
template <class Visit>
void forEachEdge(const std::vector<EdgeUse>& uses, Visit visit) {
    for (std::size_t first = 0; first < uses.size();) {
        std::size_t end = first + 1;
        while (end < uses.size() && uses[end].key == uses[first].key) {
            ++end;
        }
        visit(first, end - first);
        first = end;
    }
}

}  // namespace faceloom
