#include "system/MemoryBudget.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace faceloom {

namespace {

// Measured with bench/FaceloomBench (the torus, 3 to 5 steps) and all-triangle grids
// (1 to 3 steps), the peak resident memory and peak address space per refined facet:
// one surface at a time, at most about 210 and 295 bytes; both surfaces at once, on
// two threads, at most 285 and 450 (the second thread's stack included). The figures
// below leave about 20 % on top.
constexpr std::uint64_t kResidentPerFacet = 250;
constexpr std::uint64_t kAddressPerFacet = 360;
constexpr std::uint64_t kResidentPerFacetBoth = 340;
constexpr std::uint64_t kAddressPerFacetBoth = 540;
// Per input vertex or texture coordinate that no facet accounts for (unused ones),
// through every step.
constexpr std::uint64_t kPerInputVertex = 200;
constexpr std::uint64_t kResidentBase = std::uint64_t{16} << 20;
constexpr std::uint64_t kAddressBase = std::uint64_t{16} << 20;

std::uint64_t refinedFacets(const ObjMesh& mesh, int steps) {
    return mesh.cornerCount << (2 * (steps - 1));
}

std::uint64_t recordBytes(const ObjMesh& mesh) {
    return std::uint64_t{12} * mesh.vertexCount + std::uint64_t{8} * mesh.uvCount +
           std::uint64_t{8} * (mesh.cornerCount + mesh.faceCount);
}

// A value from a "key: value kB"-style file, in bytes; kUnlimited when absent.
std::uint64_t readKiBField(const char* file, const std::string& key) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string name;
        std::uint64_t value = 0;
        if (words >> name >> value && name == key) {
            return value * 1024;
        }
    }
    return kUnlimited;
}

// A number alone in a file ("max" counts as no limit); kUnlimited when unreadable.
std::uint64_t readNumber(const std::string& file) {
    std::ifstream in(file);
    std::uint64_t value = 0;
    return (in >> value) ? value : kUnlimited;
}

// A "key value" line of a cgroup's memory.stat, in bytes; 0 when absent.
std::uint64_t readStat(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string name;
    std::uint64_t value = 0;
    while (in >> name >> value) {
        if (name == key) {
            return value;
        }
    }
    return 0;
}

// What the cgroups this process is in still allow: limit less usage, counting the
// page cache they can drop as free. Looks at the process's own group and every group
// above it, in cgroup v2 and v1 layouts.
std::uint64_t cgroupAvailable() {
    std::uint64_t available = kUnlimited;
    std::ifstream groups("/proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        // "0::/path" (v2) or "4:memory:/path" (v1)
        const auto first = line.find(':');
        const auto second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        const bool v2 = controllers.empty();
        if (!v2 && controllers.find("memory") == std::string::npos) {
            continue;
        }
        const std::string root = v2 ? "/sys/fs/cgroup" : "/sys/fs/cgroup/memory";
        for (;;) {
            const std::string dir = root + (path == "/" ? "" : path);
            const std::uint64_t limit =
                readNumber(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
            const std::uint64_t usage =
                readNumber(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
            if (limit != kUnlimited && usage != kUnlimited) {
                const std::uint64_t cache =
                    readStat(dir + "/memory.stat", v2 ? "inactive_file" : "total_inactive_file");
                const std::uint64_t used = usage > cache ? usage - cache : 0;
                available = std::min(available, limit > used ? limit - used : 0);
            }
            if (path.empty() || path == "/") {
                break;
            }
            const auto slash = path.find_last_of('/');
            path = (slash == 0 || slash == std::string::npos) ? "/" : path.substr(0, slash);
        }
    }
    return available;
}

// What an rlimit still allows beyond what the process already uses.
std::uint64_t rlimitAvailable(int resource, std::uint64_t inUse) {
    struct rlimit limit;
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kUnlimited;
    }
    const std::uint64_t cap = limit.rlim_cur;
    return cap > inUse ? cap - inUse : 0;
}

// In GiB with one decimal, or in MiB below 1 GiB; rounded up for what is needed and
// down for what is available, so that the two never print the other way round.
std::string readableSize(std::uint64_t bytes, bool roundUp) {
    const bool gib = bytes >= (std::uint64_t{1} << 30);
    const double units =
        double(bytes) / (gib ? double(std::uint64_t{1} << 30) / 10 : double(1 << 20));
    const double rounded = roundUp ? std::ceil(units) : std::floor(units);
    char text[32];
    if (gib) {
        std::snprintf(text, sizeof text, "%.1f GiB", rounded / 10);
    } else {
        std::snprintf(text, sizeof text, "%.0f MiB", rounded);
    }
    return text;
}

bool fits(const MemoryAmounts& need, const MemoryAmounts& available) {
    return need.resident <= available.resident && need.addressSpace <= available.addressSpace;
}

}  // namespace

MemoryAmounts estimateRunMemory(const ObjMesh& mesh, int steps, SurfaceOverlap overlap) {
    const std::uint64_t facets = refinedFacets(mesh, steps);
    const bool both = overlap == SurfaceOverlap::kBothAtOnce;
    const std::uint64_t residentPerFacet = both ? kResidentPerFacetBoth : kResidentPerFacet;
    const std::uint64_t addressPerFacet = both ? kAddressPerFacetBoth : kAddressPerFacet;
    const std::uint64_t unusedVertices =
        (std::uint64_t{mesh.vertexCount} + mesh.uvCount) * static_cast<std::uint64_t>(steps);
    MemoryAmounts need;
    need.resident = kResidentBase + 2 * recordBytes(mesh) + residentPerFacet * facets +
                    kPerInputVertex * unusedVertices;
    need.addressSpace = kAddressBase + 2 * recordBytes(mesh) + addressPerFacet * facets +
                        kPerInputVertex * unusedVertices;
    return need;
}

SurfaceOverlap chooseOverlap(const ObjMesh& mesh, int steps, const MemoryAmounts& available) {
    return fits(estimateRunMemory(mesh, steps, SurfaceOverlap::kBothAtOnce), available)
               ? SurfaceOverlap::kBothAtOnce
               : SurfaceOverlap::kOneAtATime;
}

MemoryAmounts availableMemory() {
    MemoryAmounts available;
    available.resident =
        std::min(readKiBField("/proc/meminfo", "MemAvailable:"), cgroupAvailable());
    const std::uint64_t vmSize = readKiBField("/proc/self/status", "VmSize:");
    const std::uint64_t vmData = readKiBField("/proc/self/status", "VmData:");
    available.addressSpace =
        std::min(rlimitAvailable(RLIMIT_AS, vmSize == kUnlimited ? 0 : vmSize),
                 rlimitAvailable(RLIMIT_DATA, vmData == kUnlimited ? 0 : vmData));
    return available;
}

std::string memoryRefusal(const ObjMesh& mesh, int steps, const MemoryAmounts& available) {
    const MemoryAmounts need = estimateRunMemory(mesh, steps);
    if (fits(need, available)) {
        return "";
    }
    // Name the limit that binds: physical memory, or address space.
    const bool resident = need.resident > available.resident;
    const std::uint64_t needed = resident ? need.resident : need.addressSpace;
    const std::uint64_t have = resident ? available.resident : available.addressSpace;
    int fitting = steps - 1;
    while (fitting >= 1 && !fits(estimateRunMemory(mesh, fitting), available)) {
        --fitting;
    }
    std::ostringstream message;
    message << "ERROR : Not enough memory to refine [" << mesh.sourcePath() << "] by " << steps
            << (steps == 1 ? " step" : " steps") << ": it needs about "
            << readableSize(needed, true) << ", " << (resident ? "" : "address space ")
            << readableSize(have, false) << " is available; ";
    if (fitting >= 1) {
        message << "at most " << fitting << (fitting == 1 ? " step fits" : " steps fit");
    } else {
        message << "not even 1 step fits";
    }
    return message.str();
}

}  // namespace faceloom
