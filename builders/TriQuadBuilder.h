#pragma once

#include <CGAL/Modifier_base.h>

#include "builders/SurfaceBuild.h"
#include "mesh/ObjMesh.h"

// Builds the position surface: vertex n is position n of the record, facet k runs
// through the position indices of face k.
template <class HDS>
class TriQuadBuilder : public CGAL::Modifier_base<HDS> {
public:
    explicit TriQuadBuilder(const ObjMesh* mesh, bool verbose = true) : mesh(mesh), verbose(verbose) {}

    void operator()(HDS& hds) override {
        const auto positions = mesh->getPositions();
        outcome_ = buildSurface(
            hds, *mesh, verbose, "ERROR : NULL Mesh", "position", mesh->vertexCount,
            [&](std::uint32_t i) {
                return typename HDS::Vertex::Point(positions[i].x, positions[i].y, positions[i].z);
            },
            [](const vec2<unsigned int>& corner) { return corner.x; });
    }

    // How the last application went.
    BuildOutcome outcome() const { return outcome_; }
    bool succeeded() const { return outcome_ == BuildOutcome::kBuilt; }

private:
    const ObjMesh* mesh;
    bool verbose;
    BuildOutcome outcome_ = BuildOutcome::kException;
};
