#pragma once

#include <optional>
#include <vector>

#include "Polyhedron.h"
#include "Diagnostics.h"
#include "ObjMesh.h"

namespace faceloom {

// The faces a surface was built from: the input's own, or a repaired copy of them.
struct BuiltSurface {
    bool built = false;
    std::optional<ObjMesh> repaired;
    // Per vertex of the surface: whether the refinement keeps it where it is (empty
    // when none is kept).
    std::vector<bool> keep;

    const ObjMesh& faces(const ObjMesh& input) const { return repaired ? *repaired : input; }
};

// The faces of `mesh` as simple polygons (see cutFaces), with a warning for each kind
// of change; nothing when they are simple already. Both surfaces are to be built from
// the result, so that they still pair facet for facet.
std::optional<ObjMesh> simplePolygons(const ObjMesh& mesh, Diagnostics& diagnostics);

// Builds a surface from the faces of `mesh`, repairing what must be repaired first and
// what CGAL refuses, and reports each repair as a warning; only when the repairs fail
// too is the refusal reported, as the plain build reports it. A mesh that needs no
// repair builds exactly as it always did.

// The position surface. Vertices where the faces make more than one fan are split
// first; when CGAL refuses the faces even so, faces are turned (and vertices split)
// by the orientation repair.
BuiltSurface buildPositionSurface(const ObjMesh& mesh, Polyhedron& surface,
                                  Diagnostics& diagnostics);

// The flat texture surface from the faces the position surface was built from, laid
// out by their connectivity (see TextureLayout); `repaired` holds the layout when
// built. Faces that are no polygons are built as they are (the position surface
// reports them).
BuiltSurface buildTextureSurface(const ObjMesh& faces, Polyhedron& surface,
                                 Diagnostics& diagnostics);

}  // namespace faceloom
