#pragma once

#include <cstdint>
#include <string>

#include "ObjMesh.h"

namespace faceloom {

// The largest faces and the busiest vertices the tool takes. Two parts of the geometry
// library slow down with the square of a size, not in proportion to it:
//
// - the refinement step splits a face of n corners into n facets one at a time, and
//   each split walks what is left of the face: n * n / 2 steps for one face;
// - the surface builder finds the edge between two corners by walking around the
//   corner's vertex: m * m / 2 steps for a vertex that m faces meet at.
//
// Measured on the machine of the README's benchmark, one surface (Polyhedron_3 with
// array storage), one step: a face of 20,000 corners takes 1.7 s, one of 40,000 7 s; a
// vertex of 50,000 faces 5 s, one of 100,000 faces 20 to 44 s (the machine is shared).
// At the limits below that is 40 s or more per surface, and a textured mesh has two;
// anything past them would take minutes, and is refused before any work. No model made
// to be rendered comes near them. Measure again when the surface type changes.
constexpr std::uint32_t kMaxFaceCorners = 100000;
constexpr std::uint32_t kMaxFacesAtVertex = 120000;

// An "ERROR : ..." line naming `mesh`'s path when one of its faces has more than
// kMaxFaceCorners corners, or more than kMaxFacesAtVertex faces meet at one of its
// positions or texture coordinates; "" when the mesh is within the limits.
std::string inputLimitRefusal(const ObjMesh& mesh);

}  // namespace faceloom
