#include "FirstLevel.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "PqqNumbering.h"
#include "StepPoints.h"

namespace faceloom {

namespace {

using Index = SurfaceMesh::size_type;
using H = SurfaceMesh::Halfedge_index;

// Where each halfedge of `surface` goes when the step splits its edge e at the edge's
// new vertex: the even halfedge (a to b) keeps its number for a to the new vertex and
// gives b's half to 2(E + e); the odd one keeps its number for its second half.
struct SplitHalves {
    Index edges;  // E
    H first(H h) const {
        return (h % 2 == 0) ? h : H(static_cast<Index>(2 * (edges + h / 2) + 1));
    }
    H second(H h) const {
        return (h % 2 == 0) ? H(static_cast<Index>(2 * (edges + h / 2))) : h;
    }
};

// The spokes between a facet's point and its edge points, numbered by the edges the step
// adds for the facet, from `base` on: toCenter(j) runs from the edge point entering
// corner j (counted from the lead) to the facet point, fromCenter(j) back.
struct Spokes {
    Index base;  // B: the facet's first new edge
    Index corners;
    H toCenter(Index j) const {
        if (j == 1) {
            return H(2 * base);
        }
        if (j == 2) {
            return H(2 * (base + 1) + 1);
        }
        return H(2 * (base + (j == 0 ? corners : j) - 1));
    }
    H fromCenter(Index j) const { return H(toCenter(j) ^ 1u); }
};

// Links the halves of the border halfedges, which the step only splits.
void linkBorders(const SurfaceMesh& surface, const SplitHalves& halves, SurfaceMesh& level) {
    for (const H h : surface.halfedges()) {
        if (surface.is_border(h)) {
            level.set_target(halves.first(h), SurfaceMesh::Vertex_index(
                                                  static_cast<Index>(surface.number_of_vertices() + h / 2)));
            level.set_target(halves.second(h), surface.target(h));
            level.set_face(halves.first(h), SurfaceMesh::null_face());
            level.set_face(halves.second(h), SurfaceMesh::null_face());
            level.set_next(halves.first(h), halves.second(h));
            level.set_next(halves.second(h), halves.first(surface.next(h)));
        }
    }
}

// Links the children of one facet and points the facet point and the second edge point
// at their halfedges.
void linkChildren(const SurfaceMesh& surface, const ParentFacet& parent, Index base,
                  const SplitHalves& halves, SurfaceMesh& level) {
    const Index k = parent.corners(), lead = parent.lead;
    const Index vertices = surface.number_of_vertices(), edges = surface.number_of_edges();
    const SurfaceMesh::Vertex_index center(static_cast<Index>(vertices + edges + parent.facet));
    const Spokes spokes{base, k};
    const auto entering = [&](Index j) { return parent.entering[(lead + j) % k]; };
    const auto edgePoint = [&](Index j) {
        return SurfaceMesh::Vertex_index(static_cast<Index>(vertices + entering(j) / 2));
    };
    for (Index j = 0; j < k; ++j) {
        const Index after = (j + 1) % k;
        const SurfaceMesh::Face_index child(parent.child(static_cast<std::uint32_t>((lead + j) % k)));
        const H cycle[4] = {halves.second(entering(j)), halves.first(entering(after)),
                            spokes.toCenter(after), spokes.fromCenter(j)};
        const SurfaceMesh::Vertex_index targets[4] = {surface.target(entering(j)), edgePoint(after),
                                                      center, edgePoint(j)};
        for (int a = 0; a < 4; ++a) {
            level.set_target(cycle[a], targets[a]);
            level.set_face(cycle[a], child);
            level.set_next(cycle[a], cycle[(a + 1) % 4]);
        }
        level.set_halfedge(child, j <= 1 ? spokes.fromCenter(j) : spokes.toCenter(after));
    }
    level.set_halfedge(edgePoint(2), spokes.fromCenter(2));
    level.set_halfedge(center, spokes.toCenter(2));
}

// Points every old vertex and edge point at the halfedge the edge splits leave it with:
// an old vertex entered by the even halfedge of an edge at that edge's second half (the
// last such edge), any other at its own; an edge point at the second half of the odd
// halfedge. The facets then move some edge points (linkChildren).
void pointVertices(const SurfaceMesh& surface, const SplitHalves& halves, SurfaceMesh& level) {
    for (const SurfaceMesh::Vertex_index v : surface.vertices()) {
        level.set_halfedge(v, surface.halfedge(v));
    }
    for (const SurfaceMesh::Edge_index e : surface.edges()) {
        const H even = surface.halfedge(e);
        level.set_halfedge(surface.target(even), halves.second(even));
        level.set_halfedge(SurfaceMesh::Vertex_index(
                               static_cast<Index>(surface.number_of_vertices() + e)),
                           halves.first(surface.opposite(even)));
    }
}

}  // namespace

void buildFirstLevel(SurfaceMesh& surface, const RefinementRules& rules, const LevelRoom& reserve,
                     SurfaceMesh& level) {
    const Index vertices = surface.number_of_vertices(), edges = surface.number_of_edges();
    const Index facets = surface.number_of_faces();
    Index corners = 0;
    for (const H h : surface.halfedges()) {
        corners += surface.is_border(h) ? 0 : 1;
    }
    level = SurfaceMesh();
    level.reserve(std::max<std::size_t>(reserve.vertices, vertices + edges + facets),
                  std::max<std::size_t>(reserve.edges, 2 * edges + corners),
                  std::max<std::size_t>(reserve.facets, corners));
    const Kernel::Point_3 origin(0, 0, 0);
    for (Index v = 0; v < vertices + edges + facets; ++v) {
        level.add_vertex(origin);
    }
    computeStepPoints(surface, rules, [&](std::size_t index, const Kernel::Point_3& point) {
        level.point(SurfaceMesh::Vertex_index(static_cast<Index>(index))) = point;
    });
    for (Index e = 0; e < 2 * edges + corners; ++e) {
        level.add_edge();
    }
    for (Index f = 0; f < corners; ++f) {
        level.add_face();
    }
    const SplitHalves halves{edges};
    pointVertices(surface, halves, level);
    linkBorders(surface, halves, level);
    ParentFacet parent;
    Index base = 2 * edges, firstNew = facets;
    for (const SurfaceMesh::Face_index f : surface.faces()) {
        readParent(surface, f, static_cast<std::uint32_t>(firstNew), parent);
        linkChildren(surface, parent, base, halves, level);
        base += parent.corners();
        firstNew += parent.corners() - 1;
    }
}

}  // namespace faceloom
