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
// record's `corners`). Needs hasPolygonFaces(mesh).
using EdgeLink = std::function<bool(std::uint64_t, std::uint64_t, std::uint64_t, std::uint64_t)>;

// What an edge of three faces or more does: join none of them, so that each is a
// sheet of its own there (how the surfaces are built), or join them all (to tell
// what the parting alone adds).
enum class CrowdedEdges { kPart, kJoin };

struct CornerFans {
    // Per corner, the first corner of its fan (in corner order): corners are in one
    // fan exactly when they name the same one.
    std::vector<std::uint64_t> fanOf;
    // Edges of three faces or more whose faces end up in more than one fan at one of
    // its ends: parted there.
    std::uint64_t partedEdges = 0;
};

CornerFans cornerFans(const ObjMesh& mesh, const EdgeLink& linked,
                      CrowdedEdges crowded = CrowdedEdges::kPart);

}  // namespace faceloom
