#include "CatmullClarkStep.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <CGAL/Subdivision_method_3/subdivision_methods_3.h>

#include "SubdivisionMask.h"

namespace faceloom {

void refineOneStep(SurfaceMesh& surface, const RefinementRules& rules) {
    std::vector<std::pair<SurfaceMesh::Vertex_index, Kernel::Point_3>> isolated;
    for (SurfaceMesh::Vertex_index v : surface.vertices()) {
        if (surface.is_isolated(v)) {
            isolated.emplace_back(v, surface.point(v));
        }
    }
    std::vector<Kernel::Point_3> facePoints;
    CGAL::Subdivision_method_3::PQQ(surface,
                                    SubdivisionMask<SurfaceMesh>(&surface, rules, &facePoints),
                                    CGAL::parameters::number_of_iterations(1));
    for (auto& [vertex, point] : isolated) {
        surface.point(vertex) = point;
    }
}

void reserveForSteps(SurfaceMesh& surface, int steps) {
    // A step turns V vertices, E edges and F faces of C corners in all into V + E + F
    // vertices, 2E + C edges and C four-cornered faces; it asks for room for
    // V + E + F vertices, 8E edges and 2E faces.
    std::size_t v = surface.number_of_vertices(), e = surface.number_of_edges();
    std::size_t f = surface.number_of_faces(), c = 0;
    for (SurfaceMesh::Halfedge_index h : surface.halfedges()) {
        c += surface.is_border(h) ? 0 : 1;
    }
    std::size_t vertices = v, edges = e, faces = f;
    for (int i = 0; i < steps; ++i) {
        vertices = std::max(vertices, v + e + f);
        edges = std::max(edges, 8 * e);
        faces = std::max(faces, 2 * e);
        v += e + f;
        e = 2 * e + c;
        f = c;
        c *= 4;
    }
    surface.reserve(vertices, edges, faces);
}

}  // namespace faceloom
