#pragma once

#include <cstddef>
#include <vector>

#include "ObjMesh.h"
#include "SurfaceMesh.h"

namespace test {

// Both surfaces of a mesh as the plain builders make them (no repairs), copied for
// refinement; empty when a builder refuses the mesh.
struct PlainSurfaces {
    faceloom::SurfaceMesh positions;
    faceloom::SurfaceMesh texture;
};
PlainSurfaces buildPlainSurfaces(const faceloom::ObjMesh& mesh);

// Each facet's corners from the target of its halfedge(), in facet order: the order
// CGAL's Wavefront printer lists them.
std::vector<std::vector<std::size_t>> facetCycles(const faceloom::SurfaceMesh& surface);

}  // namespace test
