#pragma once

#include "builders/SurfaceBuild.h"
#include "mesh/ObjMesh.h"

namespace faceloom {

// Builds the texture surface: a flat copy of the mesh in texture space. Vertex n is
// texture coordinate n of the record at (u, v, 0), facet k runs through the texture
// indices of face k. Refined with the same procedure as the positions, it carries
// the texture coordinates through the refinement.
template <class HDS>
class PlaneBuilder : public SurfaceBuilder<HDS> {
public:
    explicit PlaneBuilder(const ObjMesh* mesh, Diagnostics& diagnostics, bool verbose = true)
        : SurfaceBuilder<HDS>(mesh, diagnostics, verbose) {}

    void operator()(HDS& hds) override {
        const auto uvs = this->mesh->getUVs();
        this->outcome_ = buildSurface(
            hds, *this->mesh, this->verbose, this->diagnostics, "ERROR : NULL 2D Data",
            "texture coordinate", this->mesh->uvCount,
            [&](std::uint32_t i) { return typename HDS::Vertex::Point(uvs[i].x, uvs[i].y, 0.0f); },
            [](const vec2<unsigned int>& corner) { return corner.y; });
    }
};

}  // namespace faceloom
