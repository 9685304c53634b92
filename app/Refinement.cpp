#include "app/Refinement.h"

#include <utility>
#include <vector>

#include <CGAL/Subdivision_method_3/subdivision_methods_3.h>

void refineOneStep(Polyhedron& surface) {
    std::vector<std::pair<Polyhedron::Vertex_handle, Kernel::Point_3>> isolated;
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        if (v->halfedge() == Polyhedron::Halfedge_handle()) {
            isolated.emplace_back(v, v->point());
        }
    }
    CGAL::Subdivision_method_3::CatmullClark_subdivision(
        surface, CGAL::parameters::number_of_iterations(1));
    // The refinement keeps the old vertices (and their handles) in place.
    for (auto& [vertex, point] : isolated) {
        vertex->point() = point;
    }
}
