#include "UvSmoothing.h"

#include <algorithm>
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

// Per layout vertex of `surface`: its number of faces, and whether it lies on the
// surface's border.
struct LayoutVertexFaces {
    std::vector<std::uint32_t> faces;
    std::vector<bool> border;
};

LayoutVertexFaces layoutVertexFaces(const Polyhedron& surface) {
    LayoutVertexFaces result{std::vector<std::uint32_t>(surface.size_of_vertices(), 0),
                             std::vector<bool>(surface.size_of_vertices(), false)};
    for (auto h = surface.halfedges_begin(); h != surface.halfedges_end(); ++h) {
        const std::size_t v = vertexIndex(surface, h->vertex());
        if (h->is_border()) {
            result.border[v] = true;
        } else {
            ++result.faces[v];
        }
    }
    return result;
}

// Marks the layout vertices the concave mode keeps besides corners and junctions:
// - at a position of two layout vertices one of which is a corner (of a single face),
//   both: the corner's sharpness carries over to the other island, whose faces bend
//   round it (the inner corner of an L-shaped island);
// - where a seam ends inside the mesh (a dart), the position's only layout vertex: on
//   the layout's border, though the mesh goes on all round it.
// What decides is the layout's topology, never its angles in uv.
void keepBesideCornersAndDarts(const ObjMesh& layout, const Polyhedron& surface,
                               const LayoutVertices& vertices, std::vector<bool>& keep) {
    const LayoutVertexFaces around = layoutVertexFaces(surface);
    const std::vector<bool> meshBorder = borderPositions(layout);
    vertices.mark(keep, [&](std::size_t first, std::size_t end) {
        const std::uint32_t t = vertices.pairs[first].second;
        if (end - first == 1) {
            return t < around.border.size() && around.border[t] &&
                   !meshBorder[vertices.pairs[first].first];
        }
        for (std::size_t k = first; k < end; ++k) {
            const std::uint32_t other = vertices.pairs[k].second;
            if (other < around.faces.size() && around.faces[other] == 1) {
                return true;
            }
        }
        return false;
    });
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
            keepBesideCornersAndDarts(layout, surface, vertices, rules.keep);
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
