#include "support/Surfaces.h"

#include "PlaneBuilder.h"
#include "Polyhedron.h"
#include "TriQuadBuilder.h"
#include "support/RecordedDiagnostics.h"

namespace test {

using namespace faceloom;

PlainSurfaces buildPlainSurfaces(const ObjMesh& mesh) {
    RecordedDiagnostics ignored;
    Polyhedron positions, texture;
    TriQuadBuilder<HDS> positionBuilder(&mesh, ignored);
    PlaneBuilder<HDS> textureBuilder(&mesh, ignored);
    positions.delegate(positionBuilder);
    texture.delegate(textureBuilder);
    PlainSurfaces surfaces;
    copyIndexPreserving(positions, surfaces.positions);
    copyIndexPreserving(texture, surfaces.texture);
    return surfaces;
}

std::vector<std::vector<std::size_t>> facetCycles(const SurfaceMesh& surface) {
    std::vector<std::vector<std::size_t>> cycles;
    for (SurfaceMesh::Face_index f : surface.faces()) {
        std::vector<std::size_t> cycle;
        for (SurfaceMesh::Vertex_index v : vertices_around_face(surface.halfedge(f), surface)) {
            cycle.push_back(vertexIndex(surface, v));
        }
        cycles.push_back(cycle);
    }
    return cycles;
}

}  // namespace test
