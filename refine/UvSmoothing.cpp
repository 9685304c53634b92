#include "UvSmoothing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "MeshTopology.h"

namespace faceloom {

namespace {

// Every (position, layout vertex) pair the faces of `layout` use, once, sorted by
// position.
std::vector<std::pair<std::uint32_t, std::uint32_t>> layoutVerticesByPosition(
    const ObjMesh& layout) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    pairs.reserve(layout.cornerCount());
    for (const Corner& corner : layout.corners) {
        if (corner.position >= 1 && corner.position <= layout.vertexCount() &&
            corner.texture >= 1 && corner.texture <= layout.uvCount()) {
            pairs.emplace_back(corner.position - 1, corner.texture - 1);
        }
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    return pairs;
}

// Calls visit(first, end) for each run of pairs at one position.
template <class Visit>
void forEachPosition(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs,
                     Visit visit) {
    for (std::size_t first = 0; first < pairs.size();) {
        std::size_t end = first;
        while (end < pairs.size() && pairs[end].first == pairs[first].first) {
            ++end;
        }
        visit(first, end);
        first = end;
    }
}

// Per position: whether it lies on the border of the mesh, that is on an edge that
// only one face has.
std::vector<bool> borderPositions(const ObjMesh& layout) {
    const std::vector<EdgeUse> uses = sortedEdgeUses(layout, CornerSide::kPosition);
    std::vector<bool> border(layout.vertexCount(), false);
    forEachEdge(uses, [&](std::size_t first, std::size_t count) {
        if (count == 1) {
            for (const std::uint64_t c : {uses[first].atLow, uses[first].atHigh}) {
                const std::uint32_t position = layout.corners[c].position;
                if (position >= 1 && position <= layout.vertexCount()) {
                    border[position - 1] = true;
                }
            }
        }
    });
    return border;
}

// Marks the border vertices of the layout on a seam (`onSeam`) whose faces turn
// through more than a half turn around them: the island is bent inwards there. Where
// the layout's border is the mesh's own, it follows the mesh's rules instead.
void keepConcaveCorners(const Polyhedron& surface, const std::vector<bool>& onSeam,
                        std::vector<bool>& keep) {
    const std::size_t count = surface.size_of_vertices();
    std::vector<bool> border(count, false);
    std::vector<double> angle(count, 0.0);
    for (auto h = surface.halfedges_begin(); h != surface.halfedges_end(); ++h) {
        const std::size_t v = vertexIndex(surface, h->vertex());
        if (h->is_border()) {
            border[v] = true;
            continue;
        }
        // The angle of h's facet at its target.
        const auto& at = h->vertex()->point();
        const auto& before = h->opposite()->vertex()->point();
        const auto& after = h->next()->vertex()->point();
        const double ax = double(before.x()) - at.x(), ay = double(before.y()) - at.y();
        const double bx = double(after.x()) - at.x(), by = double(after.y()) - at.y();
        angle[v] += std::atan2(std::abs(ax * by - ay * bx), ax * bx + ay * by);
    }
    constexpr double kHalfTurn = 3.14159265358979323846;
    for (std::size_t v = 0; v < count && v < keep.size(); ++v) {
        if (border[v] && onSeam[v] && angle[v] > kHalfTurn + 1e-6) {
            keep[v] = true;
        }
    }
}

// The layout vertices of a layout's surface (`count` of them), by the position they
// lie at.
struct LayoutVertices {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;  // see layoutVerticesByPosition
    std::size_t count;

    // Marks in `marks` the layout vertices at each position for which
    // condition(first, end) holds of its run of pairs.
    template <class Condition>
    void mark(std::vector<bool>& marks, Condition condition) const {
        forEachPosition(pairs, [&](std::size_t first, std::size_t end) {
            if (condition(first, end)) {
                for (std::size_t k = first; k < end; ++k) {
                    if (pairs[k].second < count) {
                        marks[pairs[k].second] = true;
                    }
                }
            }
        });
    }
};

// Per layout vertex, whether it lies on a seam: where the mesh goes on but the layout
// doesn't, at a position inside the mesh or one with two or more layout vertices.
std::vector<bool> seamVertices(const ObjMesh& layout, const LayoutVertices& vertices) {
    const std::vector<bool> meshBorder = borderPositions(layout);
    std::vector<bool> onSeam(vertices.count, false);
    vertices.mark(onSeam, [&](std::size_t first, std::size_t end) {
        return end - first >= 2 || !meshBorder[vertices.pairs[first].first];
    });
    return onSeam;
}

}  // namespace

RefinementRules positionRules(const SmoothingOptions& options) {
    RefinementRules rules;
    rules.keepOneFaceCorners = options.boundary == BoundarySmooth::kKeepCorners;
    rules.linear = options.scheme == Scheme::kSimple;
    return rules;
}

RefinementRules layoutRules(const ObjMesh& layout, const Polyhedron& surface,
                            const SmoothingOptions& options) {
    RefinementRules rules;
    const LayoutVertices vertices{layoutVerticesByPosition(layout), surface.size_of_vertices()};
    rules.keep.resize(vertices.count, false);
    if (options.boundary == BoundarySmooth::kKeepCorners) {
        // A corner the mesh keeps keeps its texture coordinates too.
        std::vector<std::uint32_t> faces(layout.vertexCount(), 0);
        for (const Corner& corner : layout.corners) {
            if (corner.position >= 1 && corner.position <= layout.vertexCount()) {
                ++faces[corner.position - 1];
            }
        }
        vertices.mark(rules.keep, [&](std::size_t first, std::size_t) {
            return faces[vertices.pairs[first].first] == 1;
        });
    }
    switch (options.uv) {
        case UvSmooth::kAll:
            break;
        case UvSmooth::kNone:
            rules.linear = true;
            break;
        case UvSmooth::kKeepBoundaries:
            rules.keepBorders = true;
            break;
        case UvSmooth::kKeepCornersJunctionsConcave:
            keepConcaveCorners(surface, seamVertices(layout, vertices), rules.keep);
            [[fallthrough]];
        case UvSmooth::kKeepCornersJunctions:
            vertices.mark(rules.keep,
                          [](std::size_t first, std::size_t end) { return end - first >= 3; });
            [[fallthrough]];
        case UvSmooth::kKeepCorners:
            rules.keepOneFaceCorners = true;
            break;
    }
    if (std::find(rules.keep.begin(), rules.keep.end(), true) == rules.keep.end()) {
        rules.keep.clear();
    }
    rules.linear = rules.linear || options.scheme == Scheme::kSimple;
    return rules;
}

}  // namespace faceloom
