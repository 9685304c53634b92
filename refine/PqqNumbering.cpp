#include "PqqNumbering.h"

namespace faceloom {

void readParent(const SurfaceMesh& surface, SurfaceMesh::Face_index f, std::uint32_t firstNew,
                ParentFacet& parent) {
    parent.facet = static_cast<std::uint32_t>(f);
    parent.firstNew = firstNew;
    parent.entering.clear();
    const SurfaceMesh::Halfedge_index first = surface.halfedge(f);
    SurfaceMesh::Halfedge_index h = first;
    parent.lead = 0;
    do {
        if (!parent.entering.empty() &&
            static_cast<std::size_t>(h) > static_cast<std::size_t>(parent.entering[parent.lead])) {
            parent.lead = parent.corners();
        }
        parent.entering.push_back(h);
        h = surface.next(h);
    } while (h != first);
}

ChildRoles childRoles(const SurfaceMesh& surface, const ParentFacet& parent, std::uint32_t i) {
    const std::uint32_t vertices = static_cast<std::uint32_t>(surface.number_of_vertices());
    const std::uint32_t edges = static_cast<std::uint32_t>(surface.number_of_edges());
    const std::uint32_t next = (i + 1) % parent.corners();
    return {static_cast<std::uint32_t>(surface.target(parent.entering[i])),
            vertices + static_cast<std::uint32_t>(surface.edge(parent.entering[next])),
            vertices + edges + parent.facet,
            vertices + static_cast<std::uint32_t>(surface.edge(parent.entering[i]))};
}

}  // namespace faceloom
