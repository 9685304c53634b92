#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "mesh/ObjMesh.h"

namespace faceloom {

// Whether a refinement fits in the memory this process can get, decided before any
// work: Linux promises memory it does not have, so a refinement too large for the
// machine would otherwise be killed by the kernel, silently and late.

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

struct MemoryAmounts {
    std::uint64_t resident = 0;      // physical memory
    std::uint64_t addressSpace = 0;  // virtual memory, which some limits count instead
};

// How the two surfaces are refined: both at once on two threads (faster, more
// memory), or one after the other, only one refined surface alive at a time.
enum class SurfaceOverlap { kOneAtATime, kBothAtOnce };

// The peak memory of refining `mesh` by `steps` steps, from the number of refined
// facets ((sum of corner counts) x 4^(steps-1)) and the bytes per facet this
// implementation was measured to need, with a margin.
MemoryAmounts estimateRunMemory(const ObjMesh& mesh, int steps,
                                SurfaceOverlap overlap = SurfaceOverlap::kOneAtATime);

// Both at once when that fits in `available`, else one at a time.
SurfaceOverlap chooseOverlap(const ObjMesh& mesh, int steps, const MemoryAmounts& available);

// What this process can still get: physical memory from MemAvailable and any cgroup
// memory limit, address space from RLIMIT_AS and RLIMIT_DATA. kUnlimited where
// nothing limits it or it can't be read.
MemoryAmounts availableMemory();

// The "ERROR : ..." line for a refinement by `steps` steps that doesn't fit even one
// surface at a time, or "" when it does.
std::string memoryRefusal(const ObjMesh& mesh, int steps, const MemoryAmounts& available);

}  // namespace faceloom
