#pragma once

#include <cstddef>
#include <vector>

#include "RefinementRules.h"
#include "SubdivisionMask.h"
#include "SurfaceMesh.h"

namespace faceloom {

// The points of the level one Catmull-Clark step makes of `surface` under `rules`,
// numbered as the step numbers them (PqqNumbering.h): every old vertex's new place,
// then one point per edge, then one per facet. Computed by the same mask, called as
// CGAL's step calls it (face points; per edge in edge order its edge point, or on a
// border the edge point and the new place of the inner halfedge's target; the new places
// of the other vertices), so they come out bit for bit as the step's.
//
// `store(index, point)` takes each point. A vertex no facet uses keeps its place.
template <class Store>
void computeStepPoints(SurfaceMesh& surface, const RefinementRules& rules, Store store) {
    using Point = Kernel::Point_3;
    std::vector<Point> facePoints;
    SubdivisionMask<SurfaceMesh> mask(&surface, rules, &facePoints);
    const std::size_t vertices = surface.number_of_vertices();
    const std::size_t firstFacetPoint = vertices + surface.number_of_edges();
    for (std::size_t f = 0; f < facePoints.size(); ++f) {
        store(firstFacetPoint + f, facePoints[f]);
    }
    std::vector<bool> onBorder(vertices, false);
    Point edgePoint, vertexPoint;
    for (const SurfaceMesh::Edge_index e : surface.edges()) {
        SurfaceMesh::Halfedge_index h = surface.halfedge(e);
        if (surface.is_border(e)) {
            if (surface.is_border(h)) {
                h = surface.opposite(h);
            }
            const std::size_t v = surface.target(h);
            onBorder[v] = true;
            mask.border_node(h, edgePoint, vertexPoint);
            store(v, vertexPoint);
        } else {
            mask.edge_node(h, edgePoint);
        }
        store(vertices + e, edgePoint);
    }
    for (const SurfaceMesh::Vertex_index v : surface.vertices()) {
        if (surface.is_isolated(v)) {
            store(v, surface.point(v));
        } else if (!onBorder[v]) {
            mask.vertex_node(v, vertexPoint);
            store(v, vertexPoint);
        }
    }
}

}  // namespace faceloom
