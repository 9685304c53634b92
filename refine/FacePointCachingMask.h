#pragma once

#include <cstddef>
#include <vector>

#include <CGAL/Subdivision_method_3/subdivision_masks_3.h>

#include "SurfaceMesh.h"

namespace faceloom {

// The 0-based place of facet `f` in the facet list of `surface`.
inline std::size_t faceIndex(const SurfaceMesh&, SurfaceMesh::Face_index f) {
    return static_cast<std::size_t>(f);
}

// CGAL's Catmull-Clark mask, able to compute every face point once per step.
//
// CGAL's own mask recomputes a face's point (the mean of its corners) wherever it
// needs it: once for the face, once for each of its edges, once for each of its
// corners' vertex points, about nine times per quadrilateral. Given a cache, this mask
// computes them all in its constructor, with CGAL's own face rule, and reads them back
// in the edge and vertex rules, which are CGAL's with the same float operations in the
// same order: the refined points come out bit for bit the same. Computing them up
// front makes the result independent of the order CGAL asks for them. Without a cache
// every rule is CGAL's own.
//
// The cache belongs to the caller (CGAL takes the mask by value, so copies share it).
// A mask serves one step; the next step needs a new one. Masks with other rules
// derive from this one and call its edge and vertex rules for the Catmull-Clark case.
template <class Mesh>
class FacePointCachingMask : public CGAL::CatmullClark_mask_3<Mesh> {
    using CatmullClark = CGAL::CatmullClark_mask_3<Mesh>;
    using Linear = CGAL::Linear_mask_3<Mesh>;

public:
    using typename CatmullClark::face_descriptor;
    using typename CatmullClark::FT;
    using typename CatmullClark::halfedge_descriptor;
    using typename CatmullClark::Point;
    using typename CatmullClark::vertex_descriptor;

    FacePointCachingMask(Mesh* mesh, std::vector<Point>* cache)
        : CatmullClark(mesh, get(CGAL::vertex_point, *mesh)), cache_(cache) {
        if (cache_ == nullptr) {
            return;
        }
        cache_->resize(num_faces(*mesh));
        for (const face_descriptor f : faces(*mesh)) {
            Linear::face_node(f, (*cache_)[faceIndex(*mesh, f)]);
        }
    }

    void face_node(face_descriptor facet, Point& pt) {
        if (cache_ == nullptr) {
            Linear::face_node(facet, pt);
        } else {
            pt = facePoint(facet);
        }
    }

    // CGAL's edge rule (CatmullClark_mask_3::edge_node), reading the face points.
    void edge_node(halfedge_descriptor edge, Point& pt) {
        if (cache_ == nullptr) {
            CatmullClark::edge_node(edge, pt);
            return;
        }
        const Mesh& mesh = *this->pmesh;
        const Point& p1 = get(this->vpmap, target(edge, mesh));
        const Point& p2 = get(this->vpmap, source(edge, mesh));
        const Point& f1 = facePoint(face(edge, mesh));
        const Point& f2 = facePoint(face(opposite(edge, mesh), mesh));
        pt = Point((p1[0] + p2[0] + f1[0] + f2[0]) / 4, (p1[1] + p2[1] + f1[1] + f2[1]) / 4,
                   (p1[2] + p2[2] + f1[2] + f2[2]) / 4);
    }

    // CGAL's vertex rule (CatmullClark_mask_3::vertex_node), reading the face points.
    void vertex_node(vertex_descriptor vertex, Point& pt) {
        if (cache_ == nullptr) {
            CatmullClark::vertex_node(vertex, pt);
            return;
        }
        const Mesh& mesh = *this->pmesh;
        FT q[] = {0.0, 0.0, 0.0}, r[] = {0.0, 0.0, 0.0};
        const Point& s = get(this->vpmap, vertex);
        // One walk around the vertex both counts its edges and sums over them (CGAL
        // walks twice, once for the degree); the sums come out the same.
        int n = 0;
        if (halfedge(vertex, mesh) != boost::graph_traits<Mesh>::null_halfedge()) {
            const CGAL::Halfedge_around_target_circulator<Mesh> first(vertex, mesh);
            auto around = first;
            do {
                const Point& p2 = get(this->vpmap, target(opposite(*around, mesh), mesh));
                r[0] += (s[0] + p2[0]) / 2;
                r[1] += (s[1] + p2[1]) / 2;
                r[2] += (s[2] + p2[2]) / 2;
                const Point& f = facePoint(face(*around, mesh));
                q[0] += f[0];
                q[1] += f[1];
                q[2] += f[2];
                ++n;
            } while (++around != first);
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
    const Point& facePoint(face_descriptor f) const {
        return (*cache_)[faceIndex(*this->pmesh, f)];
    }

    std::vector<Point>* cache_;
};

}  // namespace faceloom
