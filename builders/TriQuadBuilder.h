#pragma once

#include "builders/SurfaceBuild.h"
#include "mesh/ObjMesh.h"

namespace faceloom {

// Builds the position surface: vertex n is position n of the record, facet k runs
// through the position indices of face k.
template <class HDS>
class TriQuadBuilder : public SurfaceBuilder<HDS> {
public:
    explicit TriQuadBuilder(const ObjMesh* mesh, Diagnostics& diagnostics, bool verbose = true)
        : SurfaceBuilder<HDS>(mesh, diagnostics, verbose) {}

    void operator()(HDS& hds) override {
        const auto positions = this->mesh->getPositions();
        this->outcome_ = buildSurface(
            hds, *this->mesh, this->verbose, this->diagnostics, "ERROR : NULL Mesh", "position",
            this->mesh->vertexCount,
            [&](std::uint32_t i) {
                return typename HDS::Vertex::Point(positions[i].x, positions[i].y, positions[i].z);
            },
            [](const vec2<unsigned int>& corner) { return corner.x; });
    }
};

}  // namespace faceloom
