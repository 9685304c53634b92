#pragma once

#include "SurfaceBuild.h"

namespace faceloom {

// Builds the position surface: vertex n is position n of the record, facet k runs
// through the position indices of face k.
template <class HDS>
class TriQuadBuilder : public SurfaceBuilder<HDS> {
public:
    explicit TriQuadBuilder(const ObjMesh* mesh, Diagnostics& diagnostics, bool verbose = true)
        : SurfaceBuilder<HDS>(mesh, diagnostics, verbose) {}

    void operator()(HDS& hds) override { this->build(hds, CornerSide::kPosition); }
};

}  // namespace faceloom
