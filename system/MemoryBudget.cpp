#include "system/MemoryBudget.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace faceloom {

namespace {

// Bytes per item of what a run holds at its peak, for resident memory and for address
// space (which counts reserved but untouched room too).
struct Cost {
    std::uint64_t resident;
    std::uint64_t address;
};

// Every constant the estimate is made of. The record, hand-over and writer entries
// are the sizes of their arrays. The surface and unused-vertex entries were fitted
// (least squares, no negative entries) to the peaks of the Release binary: VmHWM and
// VmPeak printed from /proc/self/status at exit by a small LD_PRELOAD library, with
// every other entry of the table subtracted, over separate triangles, grids of quads
// with and without texture, a textured torus and grids with a million unused
// vertices, refined by 1 to 3 steps to 10 K to 4.8 M facets; 20 % was then added.
// After any change to the refinement (the surface type, what it keeps across a step,
// threads, whose stacks and allocator arenas count as address space), measure again
// the same way: tests/MemoryBudgetTest.cpp fails when the estimate falls below a
// measured peak or far above it. Not counted: the positions and texture coordinates
// the builders add when they repair a file (a small part of the corners, in practice).
struct MemoryTable {
    // The program, its libraries, stacks and the allocator's own room.
    Cost base{6u << 20, 16u << 20};
    // The input record, per "v", "vt", face corner and face.
    Cost recordPosition{12, 12};
    Cost recordUv{8, 8};
    Cost recordCorner{8, 8};
    Cost recordFace{16, 16};    // its form and corner count, and where its corners start
    Cost recordMaterial{4, 4};  // per face, when the file uses materials
    // A vertex or texture coordinate no face uses: carried through every step and
    // written, but never refined, so it costs the same at any number of steps.
    // (Resident refitted once large blocks were no longer advised to use huge pages,
    // which had made every peak a little higher.)
    Cost unusedVertex{100, 115};
    // One refined surface (the positions, or the texture layout) at the peak of its
    // last step (the resident rows, and the base, refitted to the sweep of
    // MemoryBudgetTest once the refinement ran on a Surface_mesh copy, which holds
    // less than the Polyhedron_3 the rest was measured on): per refined vertex, per edge the last
    // step refines, per refined facet. It reserves room for the step's new items and copies its
    // arrays there, and the refinement and the facet lineage keep tables beside it.
    Cost surfaceVertex{60, 230};
    Cost surfaceEdge{0, 560};
    Cost surfaceFacet{90, 0};
    // The refined mesh handed to the writer: per refined position, texture coordinate
    // and facet (four corner indices per side, the pairing of the two sides, and the
    // facet's material).
    Cost handOverPosition{12, 12};
    Cost handOverUv{8, 8};
    Cost handOverFacetCorners{16, 16};
    Cost handOverPairing{5, 5};
    Cost handOverMaterial{16, 16};  // the facet's material, its face, and its place in its group
    // The writer's line buffer, and the two chunks it formats on two threads.
    Cost writerBuffer{2u << 20, 5u << 20};
    // A second thread refining the texture: its stack and its allocator arena.
    Cost secondThread{1u << 20, 72u << 20};
    // Loading, per byte of the file: the text, and the copies the parser makes of a
    // line (one line may be the whole file); measured at 2.9 to 3.5 times the size
    // for files of positions and for one long line.
    Cost loadFileByte{4, 4};
};
constexpr MemoryTable kTable;

// Adds `count` items of `cost` to `total`.
void charge(MemoryAmounts& total, std::uint64_t count, const Cost& cost) {
    total.resident += count * cost.resident;
    total.addressSpace += count * cost.address;
}

MemoryAmounts larger(const MemoryAmounts& a, const MemoryAmounts& b) {
    return {std::max(a.resident, b.resident), std::max(a.addressSpace, b.addressSpace)};
}

// `texture` picks the corners' texture index instead of their position index.
SideCounts countSide(const ObjMesh& mesh, bool texture, std::uint32_t vertexCount) {
    std::vector<bool> used(std::size_t{vertexCount} + 1, false);
    std::vector<std::uint64_t> edges;
    edges.reserve(mesh.cornerCount);
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        const ObjMesh::FaceCorners corners = mesh.faceCorners(face);
        for (std::uint32_t c = 0; c < corners.size(); ++c) {
            const std::uint32_t a = texture ? corners[c].y : corners[c].x;
            const auto& next = corners[(c + 1) % corners.size()];
            const std::uint32_t b = texture ? next.y : next.x;
            if (a <= vertexCount) {
                used[a] = true;
            }
            edges.push_back(std::uint64_t{std::min(a, b)} << 32 | std::max(a, b));
        }
    }
    std::sort(edges.begin(), edges.end());
    SideCounts counts;
    counts.edges =
        static_cast<std::uint64_t>(std::unique(edges.begin(), edges.end()) - edges.begin());
    counts.usedVertices =
        static_cast<std::uint64_t>(std::count(used.begin() + 1, used.end(), true));
    counts.unusedVertices = vertexCount - counts.usedVertices;
    return counts;
}

// The sizes of a surface along its refinement. One Catmull-Clark step adds a vertex
// per edge and per facet, splits every edge in two and adds one edge per corner, and
// turns every corner into a four-sided facet.
struct Level {
    std::uint64_t vertices, edges, facets, corners;
    Level next() const {
        return {vertices + edges + facets, 2 * edges + corners, corners, 4 * corners};
    }
};

// One side's refined surface at the peak of its last step; `refinedVertices` gets its
// vertex count after the last step.
MemoryAmounts surfaceMemory(const ObjMesh& mesh, const SideCounts& side, int steps,
                            std::uint64_t& refinedVertices) {
    Level level{side.usedVertices, side.edges, mesh.faceCount, mesh.cornerCount};
    for (int step = 1; step < steps; ++step) {
        level = level.next();
    }
    const Level last = level.next();
    refinedVertices = last.vertices;
    MemoryAmounts need;
    charge(need, last.vertices, kTable.surfaceVertex);
    charge(need, level.edges, kTable.surfaceEdge);
    charge(need, last.facets, kTable.surfaceFacet);
    return need;
}

// One side's surface as built, before any step: its vertices and facets, at what a
// refined one costs per vertex and facet (more than a surface holds between steps).
MemoryAmounts builtSurfaceMemory(const ObjMesh& mesh, const SideCounts& side) {
    MemoryAmounts need;
    charge(need, side.usedVertices, kTable.surfaceVertex);
    charge(need, mesh.faceCount, kTable.surfaceFacet);
    return need;
}

// A value from a "key: value kB"-style file, in bytes; kUnlimited when absent.
std::uint64_t readKiBField(const std::string& file, const std::string& key) {
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

// The page cache a cgroup can drop to make room: its file pages, active and
// inactive, less those still to be written back. Cgroup v1 names them with "total_"
// for the group and the groups below it.
std::uint64_t reclaimableCache(const std::string& statFile, bool v2) {
    const std::string prefix = v2 ? "" : "total_";
    const std::uint64_t cache =
        readStat(statFile, prefix + "active_file") + readStat(statFile, prefix + "inactive_file");
    const std::uint64_t unwritten = readStat(statFile, v2 ? "file_dirty" : "total_dirty") +
                                    readStat(statFile, v2 ? "file_writeback" : "total_writeback");
    return cache > unwritten ? cache - unwritten : 0;
}

// What the cgroups this process is in still allow: limit less usage, counting the
// page cache they can drop as free. Looks at the process's own group and every group
// above it, in cgroup v2 and v1 layouts.
std::uint64_t cgroupAvailable(const std::string& root) {
    std::uint64_t available = kUnlimited;
    std::ifstream groups(root + "proc/self/cgroup");
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
        const std::string top = root + (v2 ? "sys/fs/cgroup" : "sys/fs/cgroup/memory");
        for (;;) {
            const std::string dir = top + (path == "/" ? "" : path);
            const std::uint64_t limit =
                readNumber(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
            const std::uint64_t usage =
                readNumber(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
            if (limit != kUnlimited && usage != kUnlimited) {
                const std::uint64_t cache = reclaimableCache(dir + "/memory.stat", v2);
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

std::uint64_t rlimitOf(int resource) {
    struct rlimit limit;
    if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
        return kUnlimited;
    }
    return limit.rlim_cur;
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

// "N MiB is available" for the limit `need` runs into: physical memory, or address
// space.
std::string availableText(const MemoryAmounts& need, const MemoryAmounts& available,
                          std::uint64_t& needed) {
    const bool resident = need.resident > available.resident;
    needed = resident ? need.resident : need.addressSpace;
    return (resident ? "" : "address space ") +
           readableSize(resident ? available.resident : available.addressSpace, false) +
           " is available";
}

}  // namespace

RunMemory::RunMemory(const ObjMesh& mesh)
    : mesh_(mesh), positions_(countSide(mesh, false, mesh.vertexCount)) {
    if (mesh.uvCount != 0) {
        texture_ = countSide(mesh, true, mesh.uvCount);
    }
}

MemoryAmounts RunMemory::estimate(int steps, SurfaceOverlap overlap) const {
    const ObjMesh& mesh = mesh_;
    MemoryAmounts need;
    charge(need, 1, kTable.base);
    charge(need, mesh.vertexCount, kTable.recordPosition);
    charge(need, mesh.uvCount, kTable.recordUv);
    charge(need, mesh.cornerCount, kTable.recordCorner);
    charge(need, mesh.faceCount, kTable.recordFace);
    const bool materials = static_cast<bool>(mesh.faceMaterials);
    if (materials) {
        charge(need, mesh.faceCount, kTable.recordMaterial);
    }
    charge(need, 1, kTable.writerBuffer);

    const std::uint64_t facets = mesh.cornerCount << (2 * (steps - 1));
    const SideCounts& positions = positions_;
    std::uint64_t refinedPositions = 0;
    MemoryAmounts surface = surfaceMemory(mesh, positions, steps, refinedPositions);
    charge(need, positions.unusedVertices, kTable.unusedVertex);
    charge(need, refinedPositions + positions.unusedVertices, kTable.handOverPosition);
    charge(need, facets, kTable.handOverFacetCorners);
    if (mesh.uvCount != 0) {
        // The texture side is refined while the positions' hand-over is held.
        const SideCounts& texture = texture_;
        std::uint64_t refinedUvs = 0;
        const MemoryAmounts layout = surfaceMemory(mesh, texture, steps, refinedUvs);
        if (overlap == SurfaceOverlap::kBothAtOnce) {
            // The layout is refined beside the positions up to its last step, which
            // waits until the refined positions have left their surface: resident,
            // the larger of the refined positions beside the layout one step short,
            // and the refined layout. Both surfaces reserve their room for all steps
            // up front, so both count in full as address space. And the second
            // thread's stack and heap.
            std::uint64_t unused = 0;
            const MemoryAmounts shortOfLast = steps > 1
                                                  ? surfaceMemory(mesh, texture, steps - 1, unused)
                                                  : builtSurfaceMemory(mesh, texture);
            surface.resident = std::max(surface.resident + shortOfLast.resident, layout.resident) +
                               kTable.secondThread.resident;
            surface.addressSpace += layout.addressSpace + kTable.secondThread.address;
        } else {
            surface = larger(surface, layout);
        }
        charge(need, texture.unusedVertices, kTable.unusedVertex);
        charge(need, refinedUvs + texture.unusedVertices, kTable.handOverUv);
        charge(need, facets, kTable.handOverFacetCorners);
        charge(need, facets, kTable.handOverPairing);
    }
    if (materials) {
        charge(need, facets, kTable.handOverMaterial);
    }
    need.resident += surface.resident;
    need.addressSpace += surface.addressSpace;
    return need;
}

SurfaceOverlap RunMemory::overlap(int steps, const MemoryAmounts& available) const {
    return fits(estimate(steps, SurfaceOverlap::kBothAtOnce), available)
               ? SurfaceOverlap::kBothAtOnce
               : SurfaceOverlap::kOneAtATime;
}

MemoryAmounts estimateLoadMemory(std::uint64_t fileBytes) {
    MemoryAmounts need;
    charge(need, 1, kTable.base);
    charge(need, fileBytes, kTable.loadFileByte);
    return need;
}

std::uint64_t loadableBytes(const MemoryAmounts& available) {
    const auto room = [](std::uint64_t have, std::uint64_t base, std::uint64_t perByte) {
        return have > base ? (have - base) / perByte : 0;
    };
    return std::min(room(available.resident, kTable.base.resident, kTable.loadFileByte.resident),
                    room(available.addressSpace, kTable.base.address, kTable.loadFileByte.address));
}

MemoryAmounts availableMemory(const std::string& root) {
    const std::string dir = root.empty() || root.back() == '/' ? root : root + "/";
    MemoryAmounts available;
    const std::uint64_t free =
        std::min(readKiBField(dir + "proc/meminfo", "MemAvailable:"), cgroupAvailable(dir));
    const std::uint64_t held = readKiBField(dir + "proc/self/status", "VmRSS:");
    available.resident = (free == kUnlimited || held == kUnlimited) ? free : free + held;
    available.addressSpace = std::min(rlimitOf(RLIMIT_AS), rlimitOf(RLIMIT_DATA));
    return available;
}

std::string RunMemory::refusal(int steps, const MemoryAmounts& available) const {
    const MemoryAmounts need = estimate(steps);
    if (fits(need, available)) {
        return "";
    }
    std::uint64_t needed = 0;
    const std::string have = availableText(need, available, needed);
    int fitting = steps - 1;
    while (fitting >= 1 && !fits(estimate(fitting), available)) {
        --fitting;
    }
    std::ostringstream message;
    message << "ERROR : Not enough memory to refine [" << mesh_.sourcePath() << "] by " << steps
            << (steps == 1 ? " step" : " steps") << ": it needs about "
            << readableSize(needed, true) << ", " << have << "; ";
    if (fitting >= 1) {
        message << "at most " << fitting << (fitting == 1 ? " step fits" : " steps fit");
    } else {
        message << "not even 1 step fits";
    }
    return message.str();
}

std::string loadRefusal(const std::string& path, std::uint64_t bytes, bool sized,
                        const MemoryAmounts& available) {
    const std::string start = "ERROR : Not enough memory to read [" + path + "]: ";
    if (sized) {
        std::uint64_t needed = 0;
        const std::string have = availableText(estimateLoadMemory(bytes), available, needed);
        return start + "loading its " + readableSize(bytes, true) + " needs about " +
               readableSize(needed, true) + ", " + have;
    }
    // It stopped at the most that loads: name the limit that set it.
    const bool resident =
        loadableBytes({available.resident, kUnlimited}) <= loadableBytes(available);
    return start + "it goes on past " + readableSize(bytes, false) + ", and no more loads in the " +
           readableSize(resident ? available.resident : available.addressSpace, false) +
           (resident ? "" : " of address space") + " available";
}

}  // namespace faceloom
