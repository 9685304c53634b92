#pragma once

#include "SurfaceBuild.h"

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

    void operator()(HDS& hds) override { this->build(hds, CornerSide::kTexture); }
};

}  // namespace faceloom
