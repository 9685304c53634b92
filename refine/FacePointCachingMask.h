#pragma once

#include <cstddef>
#include <vector>

#include <CGAL/Subdivision_method_3/subdivision_masks_3.h>

#include "refine/SurfaceMesh.h"

namespace faceloom {

// CGAL's Catmull-Clark mask with every face point computed once per step.
//
// CGAL's own mask recomputes a face's point (the mean of its corners) wherever it
// needs it: once for the face, once for each of its edges, once for each of its
// corners' vertex points, about nine times per quadrilateral. This mask computes them
// all in its constructor, with CGAL's own face rule, and reads them back in the edge
// and vertex rules, which are CGAL's with the same float operations in the same
// order, so the refined points come out bit for bit the same. Computing them up front
// makes the result independent of the order CGAL asks for them.
//
// The points live in `cache`, which the caller owns: CGAL takes the mask by value.
// A mask serves one step; the next step needs a new one.
class FacePointCachingMask : public CGAL::CatmullClark_mask_3<SurfaceMesh> {
    using Base = CGAL::CatmullClark_mask_3<SurfaceMesh>;

public:
    FacePointCachingMask(SurfaceMesh* mesh, std::vector<Point>& cache)
        : Base(mesh, get(CGAL::vertex_point, *mesh)), cache_(&cache) {
        cache.resize(mesh->number_of_faces());
        for (SurfaceMesh::Face_index f : mesh->faces()) {
            Base::face_node(f, cache[f]);
        }
    }

    void face_node(face_descriptor facet, Point& pt) { pt = (*cache_)[facet]; }

    // CGAL's edge rule (CatmullClark_mask_3::edge_node), reading the face points.
    void edge_node(halfedge_descriptor edge, Point& pt) {
        const SurfaceMesh& mesh = *this->pmesh;
        const Point& p1 = get(this->vpmap, target(edge, mesh));
        const Point& p2 = get(this->vpmap, source(edge, mesh));
        const Point& f1 = (*cache_)[face(edge, mesh)];
        const Point& f2 = (*cache_)[face(opposite(edge, mesh), mesh)];
        pt = Point((p1[0] + p2[0] + f1[0] + f2[0]) / 4, (p1[1] + p2[1] + f1[1] + f2[1]) / 4,
                   (p1[2] + p2[2] + f1[2] + f2[2]) / 4);
    }

    // CGAL's vertex rule (CatmullClark_mask_3::vertex_node), reading the face points.
    void vertex_node(vertex_descriptor vertex, Point& pt) {
        const SurfaceMesh& mesh = *this->pmesh;
        CGAL::Halfedge_around_target_circulator<SurfaceMesh> around(vertex, mesh);
        const int n = static_cast<int>(degree(vertex, mesh));
        FT q[] = {0.0, 0.0, 0.0}, r[] = {0.0, 0.0, 0.0};
        const Point& s = get(this->vpmap, vertex);
        for (int i = 0; i < n; i++, ++around) {
            const Point& p2 = get(this->vpmap, target(opposite(*around, mesh), mesh));
            r[0] += (s[0] + p2[0]) / 2;
            r[1] += (s[1] + p2[1]) / 2;
            r[2] += (s[2] + p2[2]) / 2;
            const Point& f = (*cache_)[face(*around, mesh)];
            q[0] += f[0];
            q[1] += f[1];
            q[2] += f[2];
        }
        r[0] /= n;
        r[1] /= n;
        r[2] /= n;
        q[0] /= n;
        q[1] /= n;
        q[2] /= n;
        pt = Point((q[0] + 2 * r[0] + s[0] * (n - 3)) / n, (q[1] + 2 * r[1] + s[1] * (n - 3)) / n,
                   (q[2] + 2 * r[2] + s[2] * (n - 3)) / n);
    }

private:
    std::vector<Point>* cache_;
};

}  // namespace faceloom
