#include "app/SurfaceHandOver.h"

#include <cstdint>

void takePositions(const Polyhedron& surface, const FacetLineage* lineage, RefinedMesh& mesh) {
    mesh.positions.clear();
    mesh.positions.reserve(surface.size_of_vertices());
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        const auto& p = v->point();
        mesh.positions.push_back({p.x(), p.y(), p.z()});
    }
    mesh.uvs.clear();
    mesh.textured = false;

    // After a refinement step every facet is a quadrilateral.
    mesh.corners.assign(4 * surface.size_of_facets(), vec2<std::uint32_t>{});
    if (lineage != nullptr && lineage->valid() && lineage->corners().size() == mesh.corners.size()) {
        for (std::size_t i = 0; i < mesh.corners.size(); ++i) {
            mesh.corners[i].x = lineage->corners()[i] + 1;
        }
        return;
    }
    auto* corner = mesh.corners.data();
    for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f) {
        auto h = f->halfedge();
        for (int a = 0; a < 4; ++a, h = h->next()) {
            (corner++)->x = static_cast<std::uint32_t>(vertexIndex(surface, h->vertex()) + 1);
        }
    }
}

bool takeTexture(const Polyhedron& surface, const FacetLineage& lineage,
                 const FacetPairing& pairing, RefinedMesh& mesh) {
    const std::size_t facets = pairing.facetCount();
    if (!lineage.valid() || !pairing.valid() || lineage.slots().size() != facets ||
        mesh.corners.size() != 4 * facets) {
        return false;
    }
    const std::uint32_t* ids = lineage.corners().data();
    for (std::size_t t = 0; t < facets; ++t, ids += 4) {
        const std::uint32_t p = pairing.positionFacet(lineage.slots()[t]);
        const unsigned rotation = lineage.rotations()[t];
        for (unsigned a = 0; a < 4; ++a) {
            mesh.corners[4 * p + a].y = ids[pairing.textureCorner(p, a, rotation)] + 1;
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
