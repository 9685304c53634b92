#include "refine/SurfaceHandOver.h"

#include <cmath>
#include <cstdint>
#include <string>

#include <CGAL/boost/graph/graph_traits_Polyhedron_3.h>

#include "output/MaterialLibraryPath.h"

namespace faceloom {

namespace {

const Kernel::Point_3& pointOf(const Polyhedron&, Polyhedron::Vertex_const_handle v) {
    return v->point();
}

const Kernel::Point_3& pointOf(const SurfaceMesh& surface, SurfaceMesh::Vertex_index v) {
    return surface.point(v);
}

}  // namespace

template <class Surface>
void takePositions(const Surface& surface, FacetLineage* lineage, RefinedMesh& mesh) {
    mesh = RefinedMesh{};
    mesh.positions.reserve(num_vertices(surface));
    for (const auto v : vertices(surface)) {
        const auto& p = pointOf(surface, v);
        mesh.positions.push_back({p.x(), p.y(), p.z()});
    }

    // After a refinement step every facet is a quadrilateral.
    const std::size_t cornerCount = 4 * num_faces(surface);
    if (lineage != nullptr && lineage->valid() && lineage->corners().size() == cornerCount) {
        mesh.positionCorners = lineage->releaseCorners();
        return;
    }
    mesh.positionCorners.reserve(cornerCount);
    for (const auto f : faces(surface)) {
        auto h = halfedge(f, surface);
        for (int a = 0; a < 4; ++a, h = next(h, surface)) {
            mesh.positionCorners.push_back(
                static_cast<std::uint32_t>(vertexIndex(surface, target(h, surface))));
        }
    }
}

template <class Surface>
bool takeTexture(const Surface& surface, const FacetLineage& lineage, const FacetPairing& pairing,
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
    mesh.uvs.reserve(num_vertices(surface));
    for (const auto v : vertices(surface)) {
        mesh.uvs.push_back({pointOf(surface, v).x(), pointOf(surface, v).y()});
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

void takeTexturedFacets(const std::vector<bool>& textured, const FacetLineage& lineage,
                        RefinedMesh& mesh) {
    if (!textured.empty()) {
        for (std::uint32_t face : lineage.inputFaces()) {
            mesh.facetTextured.push_back(textured[face]);
        }
    }
}

bool allFinite(const std::vector<vec3<float>>& points) {
    for (const auto& p : points) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            return false;
        }
    }
    return true;
}

bool allFinite(const std::vector<vec2<float>>& points) {
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

template void takePositions(const Polyhedron&, FacetLineage*, RefinedMesh&);
template void takePositions(const SurfaceMesh&, FacetLineage*, RefinedMesh&);
template bool takeTexture(const Polyhedron&, const FacetLineage&, const FacetPairing&,
                          RefinedMesh&);
template bool takeTexture(const SurfaceMesh&, const FacetLineage&, const FacetPairing&,
                          RefinedMesh&);

}  // namespace faceloom
