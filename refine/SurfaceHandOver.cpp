#include "SurfaceHandOver.h"

#include <cmath>
#include <cstdint>
#include <string>


namespace faceloom {

bool takePositions(const SurfaceMesh& surface, FacetLineage& lineage, RefinedMesh& mesh) {
    mesh = RefinedMesh{};
    // After a refinement step every facet is a quadrilateral; the lineage has read
    // their corners while naming them.
    if (!lineage.valid() || lineage.corners().size() != 4 * surface.number_of_faces()) {
        return false;
    }
    mesh.positions.reserve(surface.number_of_vertices());
    for (const SurfaceMesh::Vertex_index v : surface.vertices()) {
        const Kernel::Point_3& p = surface.point(v);
        mesh.positions.push_back({p.x(), p.y(), p.z()});
    }
    mesh.positionCorners = lineage.releaseCorners();
    return true;
}

bool takeTexture(const SurfaceMesh& surface, const FacetLineage& lineage, const FacetPairing& pairing,
                 RefinedMesh& mesh) {
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
    mesh.uvs.reserve(surface.number_of_vertices());
    for (const SurfaceMesh::Vertex_index v : surface.vertices()) {
        mesh.uvs.push_back({surface.point(v).x(), surface.point(v).y()});
    }
    mesh.textured = true;
    return true;
}

bool takeMaterials(const ObjMesh& faces, const std::vector<std::uint32_t>& inputFaces,
                   RefinedMesh& mesh) {
    mesh.materialLibraries = faces.materialLibraries;
    if (faces.faceMaterials.empty() && faces.faceObjects.empty() && faces.faceGroups.empty()) {
        return true;  // a library but no face that uses it
    }
    if (inputFaces.size() != mesh.facetCount()) {
        return false;
    }
    const auto take = [&](const std::vector<std::uint32_t>& ofFace,
                          std::vector<std::uint32_t>& ofFacet) {
        if (!ofFace.empty()) {
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

void takeTexturedFacets(const std::vector<bool>& textured,
                        const std::vector<std::uint32_t>& inputFaces, RefinedMesh& mesh) {
    if (!textured.empty()) {
        for (std::uint32_t face : inputFaces) {
            mesh.facetTextured.push_back(textured[face]);
        }
    }
}

bool allFinite(const FilledLater<Point3f>& points) {
    for (const auto& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return false;
        }
    }
    return true;
}

bool allFinite(const FilledLater<Point2f>& points) {
    for (const auto& t : points) {
        if (!std::isfinite(t.x) || !std::isfinite(t.y)) {
            return false;
        }
    }
    return true;
}

std::string overflowError(const char* part, const std::string& sourcePath) {
    return "ERROR : The refined " + std::string(part) + " of [" + sourcePath +
           "] overflow single precision (its numbers are too close to 3.4e38 to refine): "
           "nothing written";
}

}  // namespace faceloom
