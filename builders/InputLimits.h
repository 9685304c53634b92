#pragma once

#include <cstdint>
#include <string>

#include "ObjMesh.h"

namespace faceloom {

// The busiest vertices the tool takes. The surface builder finds the edge between two
// corners by walking around the corner's vertex: m * m / 2 steps for a vertex that m
// faces meet at. Measured on the machine of the README's benchmark, one surface: a vertex
// of 50,000 faces takes 5 s, one of 100,000 faces 20 to 44 s (the machine is shared). At
// the limit below that is 40 s or more per surface, and a textured mesh has two; anything
// past it would take minutes, and is refused before any work. No model made to be
// rendered comes near it. (Faces of any number of corners refine in time linear in it.)
constexpr std::uint32_t kMaxFacesAtVertex = 120000;

// An "ERROR : ..." line naming `mesh`'s path when more than kMaxFacesAtVertex faces meet
// at one of its positions; "" when the mesh is within the limit. That bounds the
// texture layout's vertices too, which lie each at one position.
std::string inputLimitRefusal(const ObjMesh& mesh);

}  // namespace faceloom
