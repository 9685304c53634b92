#pragma once

#include <optional>

#include "builders/Polyhedron.h"
#include "console/Diagnostics.h"
#include "mesh/ObjMesh.h"

namespace faceloom {

// The faces a surface was built from: the input's own, or a repaired copy of them.
struct BuiltSurface {
    bool built = false;
    std::optional<ObjMesh> repaired;

    const ObjMesh& faces(const ObjMesh& input) const { return repaired ? *repaired : input; }
};

// The faces of `mesh` as simple polygons (see cutFaces), with a warning for each kind
// of change; nothing when they are simple already. Both surfaces are to be built from
// the result, so that they still pair facet for facet.
std::optional<ObjMesh> simplePolygons(const ObjMesh& mesh, Diagnostics& diagnostics);

// Builds a surface from the faces of `mesh`. When CGAL refuses them, builds once more
// from the repaired faces and reports the repair as a warning; only when that fails
// too is the refusal reported, as the plain build reports it. Builds are tried
// quietly first, so that a mesh that needs no repair builds exactly as it always did.

// The position surface; the repair turns faces and splits vertices.
BuiltSurface buildPositionSurface(const ObjMesh& mesh, Polyhedron& surface,
                                  Diagnostics& diagnostics);

// The flat texture surface from the faces the position surface was built from; the
// repair gives every (position, texture coordinate) pair a texture vertex of its own.
BuiltSurface buildTextureSurface(const ObjMesh& faces, Polyhedron& surface,
                                 Diagnostics& diagnostics);

}  // namespace faceloom
