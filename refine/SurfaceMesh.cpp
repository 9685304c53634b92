#include "SurfaceMesh.h"

#include "SurfaceBuild.h"

namespace faceloom {

bool copyIndexPreserving(const Polyhedron& polyhedron, SurfaceMesh& mesh) {
    using Index = SurfaceMesh::size_type;
    const auto halfedgeAt = [&](Polyhedron::Halfedge_const_handle h) {
        return SurfaceMesh::Halfedge_index(
            static_cast<Index>(&*h - &*polyhedron.halfedges_begin()));
    };
    const auto facetAt = [&](Polyhedron::Facet_const_handle f) {
        return SurfaceMesh::Face_index(static_cast<Index>(&*f - &*polyhedron.facets_begin()));
    };
    mesh.clear();
    for (auto h = polyhedron.halfedges_begin(); h != polyhedron.halfedges_end(); ++h) {
        if ((halfedgeAt(h) ^ 1u) != halfedgeAt(h->opposite())) {
            return false;
        }
    }
    mesh.reserve(polyhedron.size_of_vertices(), polyhedron.size_of_halfedges() / 2,
                 polyhedron.size_of_facets());
    for (auto v = polyhedron.vertices_begin(); v != polyhedron.vertices_end(); ++v) {
        mesh.add_vertex(v->point());
    }
    // The polyhedron keeps each halfedge next to its opposite (2k, 2k + 1), as the
    // mesh does with the two halfedges of edge k.
    for (std::size_t e = 0; e < polyhedron.size_of_halfedges() / 2; ++e) {
        mesh.add_edge();
    }
    for (std::size_t f = 0; f < polyhedron.size_of_facets(); ++f) {
        mesh.add_face();
    }
    for (auto h = polyhedron.halfedges_begin(); h != polyhedron.halfedges_end(); ++h) {
        const SurfaceMesh::Halfedge_index index = halfedgeAt(h);
        mesh.set_target(index, SurfaceMesh::Vertex_index(
                                   static_cast<Index>(vertexIndex(polyhedron, h->vertex()))));
        mesh.set_next(index, halfedgeAt(h->next()));
        mesh.set_face(index, h->is_border() ? SurfaceMesh::null_face() : facetAt(h->facet()));
    }
    for (auto v = polyhedron.vertices_begin(); v != polyhedron.vertices_end(); ++v) {
        const auto index =
            SurfaceMesh::Vertex_index(static_cast<Index>(vertexIndex(polyhedron, v)));
        mesh.set_halfedge(index, v->halfedge() == Polyhedron::Halfedge_const_handle()
                                     ? SurfaceMesh::null_halfedge()
                                     : halfedgeAt(v->halfedge()));
    }
    for (auto f = polyhedron.facets_begin(); f != polyhedron.facets_end(); ++f) {
        mesh.set_halfedge(facetAt(f), halfedgeAt(f->halfedge()));
    }
    return true;
}

void copyForRefinement(const Polyhedron& built, const ObjMesh& faces, SurfaceMesh& surface,
                       BuiltSurface& result, Diagnostics& diagnostics) {
    if (result.built && !copyIndexPreserving(built, surface)) {
        diagnostics.error(unsoundMessage(faces));
        result.built = false;
    }
}

}  // namespace faceloom
