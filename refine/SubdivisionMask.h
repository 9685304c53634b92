#pragma once

#include <CGAL/Subdivision_method_3/subdivision_masks_3.h>

#include "Polyhedron.h"
#include "FacePointCachingMask.h"
#include "RefinementRules.h"

namespace faceloom {

// CGAL's Catmull-Clark mask with the rules a RefinementRules asks for. Where no rule
// applies it leaves every computation to CGAL's own mask, so the default rules give
// exactly CGAL's Catmull-Clark points, bit for bit.
//
// CGAL's refinement asks the border rule for both new points of a border edge: the
// edge point, and the new place of the edge's target vertex (every border vertex is
// the target of one border edge's inner halfedge, and no other rule moves it). So the
// rules that keep vertices in place all live in border_node.
//
// Given a cache of face points, it computes each face point once per step
// (FacePointCachingMask), with the same result.
template <class Mesh>
class SubdivisionMask : public FacePointCachingMask<Mesh> {
    using CatmullClark = FacePointCachingMask<Mesh>;
    using Linear = CGAL::Linear_mask_3<Mesh>;

public:
    using typename CatmullClark::halfedge_descriptor;
    using typename CatmullClark::Point;
    using typename CatmullClark::vertex_descriptor;

    SubdivisionMask(Mesh* mesh, const RefinementRules& rules,
                    std::vector<Point>* facePoints = nullptr)
        : CatmullClark(mesh, facePoints), rules_(rules) {}

    // face_node: the centroid under both rules (CGAL's Catmull-Clark mask inherits it
    // from the linear one), cached or not.

    void edge_node(halfedge_descriptor edge, Point& point) {
        if (rules_.linear) {
            Linear::edge_node(edge, point);
        } else {
            CatmullClark::edge_node(edge, point);
        }
    }

    void vertex_node(vertex_descriptor vertex, Point& point) {
        if (rules_.linear) {
            Linear::vertex_node(vertex, point);
        } else {
            CatmullClark::vertex_node(vertex, point);
        }
    }

    void border_node(halfedge_descriptor edge, Point& edgePoint, Point& vertexPoint) {
        // The edge point is the edge's midpoint under both rules.
        CatmullClark::border_node(edge, edgePoint, vertexPoint);
        const vertex_descriptor vertex = target(edge, *this->pmesh);
        if (rules_.linear || stays(vertex)) {
            vertexPoint = get(this->vpmap, vertex);
        }
    }

private:
    bool stays(vertex_descriptor vertex) const {
        if (rules_.keepBorders) {
            return true;
        }
        // A border vertex with two edges has a single face.
        if (rules_.keepOneFaceCorners && degree(vertex, *this->pmesh) == 2) {
            return true;
        }
        const std::size_t index = vertexIndex(*this->pmesh, vertex);
        return index < rules_.keep.size() && rules_.keep[index];
    }

    const RefinementRules& rules_;
};

}  // namespace faceloom
