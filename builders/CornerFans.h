#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "MeshTopology.h"
#include "ObjMesh.h"

namespace faceloom {

// Groups the face corners at each position into fans: corners of faces that reach
// each other around the position through edges they share. Two faces share an edge
// when it joins the same two positions in both and no third face has it; `linked`
// decides whether such an edge joins them, given their corners at its two ends
// (first face at a, second face at a, first at b, second at b; indices into the
// record's `corners`).
//
// Returns, per corner, the first corner of its fan (in corner order), so corners are
// in one fan exactly when they name the same one. Needs hasPolygonFaces(mesh).
using EdgeLink = std::function<bool(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t)>;
std::vector<std::uint64_t> cornerFans(const ObjMesh& mesh, const EdgeLink& linked);

}  // namespace faceloom
