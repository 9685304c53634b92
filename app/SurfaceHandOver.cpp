#include "app/SurfaceHandOver.h"

#include <cstdint>

void takePositions(const Polyhedron& surface, RefinedMesh& mesh) {
    mesh.positions.clear();
    mesh.positions.reserve(surface.size_of_vertices());
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        const auto& p = v->point();
        mesh.positions.push_back({p.x(), p.y(), p.z()});
    }
    mesh.corners.assign(4 * surface.size_of_facets(), vec2<std::uint32_t>{});
    auto* corner = mesh.corners.data();
    for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f) {
        // After a refinement step every facet is a quadrilateral.
        auto h = f->halfedge();
        for (int a = 0; a < 4; ++a, h = h->next()) {
            (corner++)->x = static_cast<std::uint32_t>(vertexIndex(surface, h->vertex()) + 1);
        }
    }
    mesh.uvs.clear();
    mesh.textured = false;
}

bool takeTexture(const Polyhedron& surface, const FacetLineage& lineage,
                 const FacetPairing& pairing, RefinedMesh& mesh) {
    if (!lineage.valid() || !pairing.valid() || lineage.slots().size() != pairing.facetCount() ||
        mesh.corners.size() != 4 * pairing.facetCount()) {
        return false;
    }
    std::size_t t = 0;
    for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f, ++t) {
        const std::uint32_t p = pairing.positionFacet(lineage.slots()[t]);
        const unsigned rotation = lineage.rotations()[t];
        std::uint32_t ids[4];
        auto h = f->halfedge();
        for (int a = 0; a < 4; ++a, h = h->next()) {
            ids[a] = static_cast<std::uint32_t>(vertexIndex(surface, h->vertex()) + 1);
        }
        for (unsigned a = 0; a < 4; ++a) {
            mesh.corners[4 * p + a].y = ids[pairing.textureCorner(p, a, rotation)];
        }
    }
    mesh.uvs.clear();
    mesh.uvs.reserve(surface.size_of_vertices());
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        mesh.uvs.push_back({v->point().x(), v->point().y()});
    }
    mesh.textured = true;
    return true;
}
