#include "refine/SurfaceHandOver.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "output/MaterialLibraryPath.h"

namespace faceloom {

void takePositions(const Polyhedron& surface, FacetLineage* lineage, RefinedMesh& mesh) {
    mesh = RefinedMesh{};
    mesh.positions.reserve(surface.size_of_vertices());
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        const auto& p = v->point();
        mesh.positions.push_back({p.x(), p.y(), p.z()});
    }

    // After a refinement step every facet is a quadrilateral.
    const std::size_t cornerCount = 4 * surface.size_of_facets();
    if (lineage != nullptr && lineage->valid() && lineage->corners().size() == cornerCount) {
        mesh.positionCorners = lineage->releaseCorners();
        return;
    }
    mesh.positionCorners.reserve(cornerCount);
    for (auto f = surface.facets_begin(); f != surface.facets_end(); ++f) {
        auto h = f->halfedge();
        for (int a = 0; a < 4; ++a, h = h->next()) {
            mesh.positionCorners.push_back(
                static_cast<std::uint32_t>(vertexIndex(surface, h->vertex())));
        }
    }
}

bool takeTexture(const Polyhedron& surface, const FacetLineage& lineage,
                 const FacetPairing& pairing, RefinedMesh& mesh) {
    const std::size_t facets = pairing.facetCount();
    if (!lineage.valid() || !pairing.valid() || lineage.slots().size() != facets ||
        lineage.corners().size() != 4 * facets || mesh.positionCorners.size() != 4 * facets) {
        return false;
    }
    mesh.textureCorners.resize(4 * facets);
    const std::uint32_t* ids = lineage.corners().data();
    for (std::size_t t = 0; t < facets; ++t, ids += 4) {
        const std::uint32_t p = pairing.positionFacet(lineage.slots()[t]);
        const unsigned rotation = lineage.rotations()[t];
        for (unsigned a = 0; a < 4; ++a) {
            mesh.textureCorners[4 * p + a] = ids[pairing.textureCorner(p, a, rotation)];
        }
    }
    mesh.uvs.reserve(surface.size_of_vertices());
    for (auto v = surface.vertices_begin(); v != surface.vertices_end(); ++v) {
        mesh.uvs.push_back({v->point().x(), v->point().y()});
    }
    mesh.textured = true;
    return true;
}

bool takeMaterials(const ObjMesh& faces, const FacetLineage& lineage, const char* outputPath,
                   RefinedMesh& mesh) {
    for (const std::string& library : faces.materialLibraries) {
        mesh.materialLibraries.push_back(
            rewriteMaterialLibraries(library, faces.sourcePath(), outputPath));
    }
    if (!faces.faceMaterials && !faces.faceObjects && !faces.faceGroups) {
        return true;  // a library but no face that uses it
    }
    const std::vector<std::uint32_t> inputFaces = lineage.inputFaces();
    if (inputFaces.size() != mesh.facetCount()) {
        return false;
    }
    const auto take = [&](const boost::shared_array<std::uint32_t>& ofFace,
                          std::vector<std::uint32_t>& ofFacet) {
        if (ofFace) {
            ofFacet.resize(inputFaces.size());
            for (std::size_t f = 0; f < inputFaces.size(); ++f) {
                ofFacet[f] = ofFace[inputFaces[f]];
            }
        }
    };
    mesh.materialNames = faces.materialNames;
    take(faces.faceMaterials, mesh.facetMaterials);
    mesh.objectNames = faces.objectNames;
    take(faces.faceObjects, mesh.facetObjects);
    mesh.groupNames = faces.groupNames;
    take(faces.faceGroups, mesh.facetGroups);
    return true;
}

bool isFinite(const RefinedMesh& mesh, const std::string& sourcePath, Diagnostics& diagnostics) {
    const auto report = [&](const char* part) {
        diagnostics.error("ERROR : The refined " + std::string(part) + " of [" + sourcePath +
                          "] overflow single precision (its numbers are too close to 3.4e38 to "
                          "refine): nothing written");
        return false;
    };
    for (const auto& p : mesh.positions) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return report("positions");
        }
    }
    for (const auto& t : mesh.uvs) {
        if (!std::isfinite(t.x) || !std::isfinite(t.y)) {
            return report("texture coordinates");
        }
    }
    return true;
}

}  // namespace faceloom
