#include "RunMemory.h"

#include <algorithm>
#include <sstream>

#include "MeshTopology.h"

namespace faceloom {

namespace {

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
};
constexpr MemoryTable kTable;

MemoryAmounts larger(const MemoryAmounts& a, const MemoryAmounts& b) {
    return {std::max(a.resident, b.resident), std::max(a.addressSpace, b.addressSpace)};
}

// The counts of one side of `mesh`.
SideCounts countSide(const ObjMesh& mesh, CornerSide side) {
    const std::uint32_t vertexCount =
        side == CornerSide::kPosition ? mesh.vertexCount() : mesh.uvCount();
    std::vector<bool> used(std::size_t{vertexCount} + 1, false);
    for (const Corner& corner : mesh.corners) {
        if (indexOf(corner, side) <= vertexCount) {
            used[indexOf(corner, side)] = true;
        }
    }
    SideCounts counts;
    forEachEdge(sortedEdgeUses(mesh, side), [&](std::size_t, std::size_t) { ++counts.edges; });
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
    Level level{side.usedVertices, side.edges, mesh.faceCount(), mesh.cornerCount()};
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
    charge(need, mesh.faceCount(), kTable.surfaceFacet);
    return need;
}

}  // namespace

RunMemory::RunMemory(const ObjMesh& mesh)
    : mesh_(mesh), positions_(countSide(mesh, CornerSide::kPosition)) {
    if (mesh.uvCount() != 0) {
        texture_ = countSide(mesh, CornerSide::kTexture);
    }
}

MemoryAmounts RunMemory::estimate(int steps, SurfaceOverlap overlap) const {
    const ObjMesh& mesh = mesh_;
    MemoryAmounts need;
    charge(need, 1, kBaseCost);
    charge(need, mesh.vertexCount(), kTable.recordPosition);
    charge(need, mesh.uvCount(), kTable.recordUv);
    charge(need, mesh.cornerCount(), kTable.recordCorner);
    charge(need, mesh.faceCount(), kTable.recordFace);
    const bool materials = !mesh.faceMaterials.empty();
    if (materials) {
        charge(need, mesh.faceCount(), kTable.recordMaterial);
    }
    charge(need, 1, kTable.writerBuffer);

    const std::uint64_t facets = mesh.cornerCount() << (2 * (steps - 1));
    const SideCounts& positions = positions_;
    std::uint64_t refinedPositions = 0;
    MemoryAmounts surface = surfaceMemory(mesh, positions, steps, refinedPositions);
    charge(need, positions.unusedVertices, kTable.unusedVertex);
    charge(need, refinedPositions + positions.unusedVertices, kTable.handOverPosition);
    charge(need, facets, kTable.handOverFacetCorners);
    if (mesh.uvCount() != 0) {
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
    message << "ERROR : Not enough memory to refine [" << mesh_.sourcePath << "] by " << steps
            << (steps == 1 ? " step" : " steps") << ": it needs about "
            << readableSize(needed, true) << ", " << have << "; ";
    if (fitting >= 1) {
        message << "at most " << fitting << (fitting == 1 ? " step fits" : " steps fit");
    } else {
        message << "not even 1 step fits";
    }
    return message.str();
}

}  // namespace faceloom
