#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "mesh/ObjMesh.h"

namespace faceloom {

// Whether a job fits in the memory this process can get, decided before the work:
// Linux promises memory it does not have, so a job too large for the machine would
// otherwise be killed by the kernel, silently and late. Two checks: before the input
// is read (from its size), and before the refinement (from the loaded record).
//
// All amounts are totals for the whole process, what it holds already included.

constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max();

struct MemoryAmounts {
    std::uint64_t resident = 0;      // physical memory
    std::uint64_t addressSpace = 0;  // virtual memory, which some limits count instead
};

// How the two surfaces are refined: both at once on two threads (faster, more
// memory; the texture's last step still waits until the position surface is gone),
// or one after the other, only one surface alive at a time.
enum class SurfaceOverlap { kOneAtATime, kBothAtOnce };

// One side of a mesh (its positions, or its texture coordinates) as the refinement
// sees it: the vertices its faces use, those they don't, and the edges between them.
struct SideCounts {
    std::uint64_t usedVertices = 0;
    std::uint64_t unusedVertices = 0;
    std::uint64_t edges = 0;
};

// The memory refining one mesh needs, by steps and way of refining. Counting its sides
// sorts every edge of its faces, a pass as long as a step on a large input: it is done
// once, when this is made, for every question a run asks. Holds on to `mesh`.
class RunMemory {
public:
    explicit RunMemory(const ObjMesh& mesh);

    // An upper bound of the peak memory of refining the mesh by `steps` steps and
    // writing the result, summed from what each part holds at the peak (see the table
    // in MemoryBudget.cpp).
    MemoryAmounts estimate(int steps, SurfaceOverlap overlap = SurfaceOverlap::kOneAtATime) const;
    // Both at once when that fits in `available`, else one at a time.
    SurfaceOverlap overlap(int steps, const MemoryAmounts& available) const;
    // The "ERROR : ..." line for a refinement by `steps` steps that doesn't fit even
    // one surface at a time, or "" when it does.
    std::string refusal(int steps, const MemoryAmounts& available) const;

private:
    const ObjMesh& mesh_;
    SideCounts positions_;
    SideCounts texture_;  // all zero without texture coordinates
};

// An upper bound of the peak memory of loading an OBJ file of `fileBytes` bytes.
MemoryAmounts estimateLoadMemory(std::uint64_t fileBytes);

// The most bytes of input that can be loaded with `available`.
std::uint64_t loadableBytes(const MemoryAmounts& available);

// What this process can have in all: physical memory from MemAvailable and any
// cgroup memory limit (its reclaimable page cache counted as free) plus what the
// process holds already, address space from RLIMIT_AS and RLIMIT_DATA. kUnlimited
// where nothing limits it or it can't be read. /proc and /sys are read under `root`.
MemoryAmounts availableMemory(const std::string& root = "/");

// The "ERROR : ..." line for an input that can't be loaded: of `bytes` bytes when
// `sized`, or one that went on past `bytes` bytes (a pipe, a device).
std::string loadRefusal(const std::string& path, std::uint64_t bytes, bool sized,
                        const MemoryAmounts& available);

}  // namespace faceloom
