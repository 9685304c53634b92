#include "refine/UvSmoothing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace faceloom {

namespace {

// Every (position, layout vertex) pair the faces of `layout` use, once, sorted by
// position.
std::vector<std::pair<std::uint32_t, std::uint32_t>> layoutVerticesByPosition(
    const ObjMesh& layout) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    pairs.reserve(layout.cornerCount);
    for (std::uint64_t i = 0; i < layout.cornerCount; ++i) {
        const vec2<unsigned int>& corner = layout.corners[i];
        if (corner.x >= 1 && corner.x <= layout.vertexCount && corner.y >= 1 &&
            corner.y <= layout.uvCount) {
            pairs.emplace_back(corner.x - 1, corner.y - 1);
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
    std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
    edges.reserve(layout.cornerCount);
    for (std::uint32_t face = 0; face < layout.faceCount; ++face) {
        const ObjMesh::FaceCorners corners = layout.faceCorners(face);
        for (std::uint32_t c = 0; c < corners.size(); ++c) {
            const std::uint32_t a = corners[c].x, b = corners[(c + 1) % corners.size()].x;
            edges.emplace_back(std::min(a, b), std::max(a, b));
        }
    }
    std::sort(edges.begin(), edges.end());
    std::vector<bool> border(layout.vertexCount, false);
    for (std::size_t i = 0; i < edges.size();) {
        std::size_t end = i;
        while (end < edges.size() && edges[end] == edges[i]) {
            ++end;
        }
        if (end - i == 1) {
            for (const std::uint32_t position : {edges[i].first, edges[i].second}) {
                if (position >= 1 && position <= layout.vertexCount) {
                    border[position - 1] = true;
                }
            }
        }
        i = end;
    }
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

}  // namespace

RefinementRules positionRules(const SmoothingOptions& options) {
    RefinementRules rules;
    rules.keepOneFaceCorners = options.boundary == BoundarySmooth::kKeepCorners;
    return rules;
}

RefinementRules layoutRules(const ObjMesh& layout, const Polyhedron& surface,
                            const SmoothingOptions& options) {
    RefinementRules rules;
    const std::size_t count = surface.size_of_vertices();
    const auto pairs = layoutVerticesByPosition(layout);
    const auto keepWhere = [&](auto condition) {
        rules.keep.resize(count, false);
        forEachPosition(pairs, [&](std::size_t first, std::size_t end) {
            if (condition(first, end)) {
                for (std::size_t k = first; k < end; ++k) {
                    if (pairs[k].second < count) {
                        rules.keep[pairs[k].second] = true;
                    }
                }
            }
        });
    };
    if (options.boundary == BoundarySmooth::kKeepCorners) {
        // A corner the mesh keeps keeps its texture coordinates too.
        std::vector<std::uint32_t> faces(layout.vertexCount, 0);
        for (std::uint64_t i = 0; i < layout.cornerCount; ++i) {
            const unsigned int position = layout.corners[i].x;
            if (position >= 1 && position <= layout.vertexCount) {
                ++faces[position - 1];
            }
        }
        keepWhere([&](std::size_t first, std::size_t) { return faces[pairs[first].first] == 1; });
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
        case UvSmooth::kKeepCornersJunctionsConcave: {
            // On a seam: where the mesh goes on but the layout doesn't, at a position
            // inside the mesh or one with two or more layout vertices.
            const std::vector<bool> meshBorder = borderPositions(layout);
            std::vector<bool> onSeam(count, false);
            forEachPosition(pairs, [&](std::size_t first, std::size_t end) {
                const bool seam = end - first >= 2 || !meshBorder[pairs[first].first];
                for (std::size_t k = first; k < end; ++k) {
                    if (pairs[k].second < count) {
                        onSeam[pairs[k].second] = seam;
                    }
                }
            });
            rules.keep.resize(count, false);
            keepConcaveCorners(surface, onSeam, rules.keep);
            [[fallthrough]];
        }
        case UvSmooth::kKeepCornersJunctions:
            keepWhere([](std::size_t first, std::size_t end) { return end - first >= 3; });
            [[fallthrough]];
        case UvSmooth::kKeepCorners:
            rules.keepOneFaceCorners = true;
            break;
    }
    return rules;
}

}  // namespace faceloom
