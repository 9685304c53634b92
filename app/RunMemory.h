#pragma once

#include <cstdint>
#include <string>

#include "LimitSurface.h"
#include "MemoryBudget.h"
#include "ObjMesh.h"

namespace faceloom {

// How the two surfaces are refined: both at once on two threads (faster, more
// memory), or one after the other, only one surface refining at a time.
enum class SurfaceOverlap { kOneAtATime, kBothAtOnce };

// One side of a mesh (its positions, or its texture coordinates) as the refinement
// sees it: the vertices its faces use, those they don't, and the edges between them.
struct SideCounts {
    std::uint64_t usedVertices = 0;
    std::uint64_t unusedVertices = 0;
    std::uint64_t edges = 0;
};

// The memory refining one mesh needs, by steps and way of refining: the check before
// the refinement, from the loaded record. Counting its sides sorts every edge of its
// faces, a pass as long as a step on a large input: it is done once, when this is
// made, for every question a run asks. Holds on to `mesh`.
class RunMemory {
public:
    // `limit`: what the last level takes of the limit surface.
    explicit RunMemory(const ObjMesh& mesh, const LimitOptions& limit = {});

    // An upper bound of the peak memory of refining the mesh by `steps` steps and
    // writing the result, summed from what each part holds at the peak (see the table
    // in RunMemory.cpp).
    MemoryAmounts estimate(int steps, SurfaceOverlap overlap = SurfaceOverlap::kOneAtATime) const;
    // Both at once when that fits in `available`, else one at a time.
    SurfaceOverlap overlap(int steps, const MemoryAmounts& available) const;
    // The "ERROR : ..." line for a refinement by `steps` steps that doesn't fit even
    // one surface at a time, or "" when it does.
    std::string refusal(int steps, const MemoryAmounts& available) const;

private:
    // What the refinement holds at its peak, the record and the like left out.
    MemoryAmounts largestPhase(int steps, SurfaceOverlap overlap) const;

    const ObjMesh& mesh_;
    LimitOptions limit_;
    SideCounts positions_;
    SideCounts texture_;  // all zero without texture coordinates
};

}  // namespace faceloom
