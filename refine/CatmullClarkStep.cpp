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

LevelSizes sizesOf(const SurfaceMesh& surface) {
    LevelSizes sizes{surface.number_of_vertices(), surface.number_of_edges(),
                     surface.number_of_faces(), 0};
    for (SurfaceMesh::Halfedge_index h : surface.halfedges()) {
        sizes.corners += surface.is_border(h) ? 0 : 1;
    }
    return sizes;
}

LevelRoom roomForSteps(LevelSizes level, int steps) {
    LevelRoom room{level.vertices, level.edges, level.facets};
    for (int i = 0; i < steps; ++i) {
        room.vertices = std::max(room.vertices, level.vertices + level.edges + level.facets);
        room.edges = std::max(room.edges, 8 * level.edges);
        room.facets = std::max(room.facets, 2 * level.edges);
        level = level.next();
    }
    return room;
}

}  // namespace faceloom
