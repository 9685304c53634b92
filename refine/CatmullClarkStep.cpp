#include "refine/CatmullClarkStep.h"

#include <utility>
#include <vector>

#include <CGAL/Subdivision_method_3/subdivision_methods_3.h>

#include "refine/SubdivisionMask.h"

namespace faceloom {

void refineOneStep(Polyhedron& surface, const RefinementRules& rules) {
    // Room for everything the step adds, reserved up front: the refinement keeps
    // handles to the old vertices, facets and edges across its own reservation, and
    // with vector storage a reservation that moves the arrays would leave them dangling.
    // These are the very numbers the refinement asks for, so its request changes nothing.
    const std::size_t vertices = surface.size_of_vertices();
    const std::size_t edges = surface.size_of_halfedges() / 2;
    const std::size_t facets = surface.size_of_facets();
    surface.reserve(vertices + edges + facets, 16 * edges, 2 * edges);

    std::vector<std::pair<Polyhedron::Vertex_handle, Kernel::Point_3>> isolated;
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        if (v->halfedge() == Polyhedron::Halfedge_handle()) {
            isolated.emplace_back(v, v->point());
        }
    }
    CGAL::Subdivision_method_3::PQQ(surface, SubdivisionMask<Polyhedron>(&surface, rules),
                                    CGAL::parameters::number_of_iterations(1));
    // The refinement keeps the old vertices (and their handles) in place.
    for (auto& [vertex, point] : isolated) {
        vertex->point() = point;
    }
}

}  // namespace faceloom
