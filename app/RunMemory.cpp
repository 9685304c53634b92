#include "RunMemory.h"

#include <algorithm>
#include <sstream>

#include "CatmullClarkStep.h"
#include "MeshTopology.h"

namespace faceloom {

namespace {

// Every constant the estimate is made of. The record, hand-over and writer entries are
// the sizes of their arrays. The surface entries were fitted to the peaks of the Release
// binary, refining in-process with each way of refining forced: VmHWM and VmPeak from
// /proc/self/status at exit, every other entry of the table subtracted, over separate
// triangles, grids of quads with and without texture, a grid with a texture island per
// face, textured tori and a grid with 150,000 unused vertices, refined by 1 to 5 steps
// to 20 K to 17 M facets; the base is what made every measured peak fit, and 10 % was
// added to the rest. After any change to what the refinement holds, measure again the
// same way: tests/MemoryTest.cpp fails when the estimate falls below a measured peak or
// far above it. Not counted: the positions and texture coordinates the builders add
// when they repair a file (a small part of the corners, in practice).
struct MemoryTable {
    // The program, its libraries, stacks and the allocator's own room.
    Cost base{12u << 20, 24u << 20};
    // The second threads (the texture side, the pairing, the writer's formatting): their
    // stacks and the allocator's arenas for them.
    Cost threads{1u << 20, 136u << 20};
    // The input record, per "v", "vt", face corner and face, and again for the texture
    // layout made from it.
    Cost recordPosition{12, 12};
    Cost recordUv{8, 8};
    Cost recordCorner{8, 8};
    Cost recordFace{16, 16};    // its form and corner count, and where its corners start
    Cost recordMaterial{4, 4};  // per face, when the file uses materials
    // A vertex or texture coordinate no face uses: carried through every level and
    // written, but never refined.
    Cost unusedVertex{24, 48};
    // One side's surface at the level before the last, per vertex, edge and facet, with
    // what computing the last level from it keeps beside it (its face points); as
    // address space, of the room reserved in it for the steps that built it.
    Cost surfaceVertex{97, 97};
    Cost surfaceEdge{0, 5};
    Cost surfaceFacet{27, 62};
    // The last level, per point of a side and per facet: positions, and texture
    // coordinates; each facet's position corners and what the texture side reads of its
    // parent, and the texture corners over the position corners; the texts of the
    // indices the writer makes, per point.
    Cost lastPosition{12, 12};
    Cost lastUv{8, 8};
    Cost indexText{8, 8};
    Cost normal{12, 12};  // per position, with --normals
    // The limit surface: the points moved to their limits are made beside the others.
    Cost limitPosition{12, 12};
    Cost limitUv{8, 8};
    Cost positionFacet{20, 20};
    Cost textureCorners{16, 16};
    Cost facetLabels{16, 16};  // the facet's material, its face, and its place in its group
    // The writer's line buffer, and the two chunks it formats on two threads.
    Cost writerBuffer{2u << 20, 5u << 20};
};
constexpr MemoryTable kTable;
// The lines the writer formats on one thread (see MergedObjWriter.cpp).
constexpr std::uint64_t kChunkLines = std::uint64_t{1} << 13;

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

// One side at the level before the last of `steps` steps, and the room its surface
// keeps: the first level's own, and what CGAL's steps after it ask for.
struct SideLevels {
    LevelSizes beforeLast;
    LevelRoom room;
    std::uint64_t lastPoints() const {
        return beforeLast.vertices + beforeLast.edges + beforeLast.facets;
    }
    std::uint64_t lastFacets() const { return beforeLast.corners; }
};

SideLevels sideLevels(const ObjMesh& mesh, const SideCounts& side, int steps) {
    const LevelSizes built{side.usedVertices, side.edges, mesh.faceCount(), mesh.cornerCount()};
    SideLevels levels{built, {built.vertices, built.edges, built.facets}};
    if (steps >= 2) {
        levels.room = roomForSteps(built.next(), steps - 2);
    }
    for (int step = 1; step < steps; ++step) {
        levels.beforeLast = levels.beforeLast.next();
    }
    return levels;
}

// A side's surface at the level before the last: resident what it holds, address space
// what it keeps room for.
MemoryAmounts surfaceMemory(const SideLevels& levels) {
    MemoryAmounts need;
    need.resident = levels.beforeLast.vertices * kTable.surfaceVertex.resident +
                    levels.beforeLast.edges * kTable.surfaceEdge.resident +
                    levels.beforeLast.facets * kTable.surfaceFacet.resident;
    need.addressSpace = levels.room.vertices * kTable.surfaceVertex.address +
                        levels.room.edges * kTable.surfaceEdge.address +
                        levels.room.facets * kTable.surfaceFacet.address;
    return need;
}

MemoryAmounts sum(MemoryAmounts a, const MemoryAmounts& b) {
    a.resident += b.resident;
    a.addressSpace += b.addressSpace;
    return a;
}

// What a side's computed last level holds once made; `limit` with what taking the limit
// surface adds while it is taken.
MemoryAmounts lastLevelMemory(const SideLevels& levels, bool texture, const LimitOptions& limit,
                              bool whileTaken) {
    MemoryAmounts need;
    charge(need, levels.lastPoints(), texture ? kTable.lastUv : kTable.lastPosition);
    if (!texture) {
        charge(need, levels.lastFacets(), kTable.positionFacet);
    }
    if (!texture && limit.normals) {
        charge(need, levels.lastPoints(), kTable.normal);
    }
    if (whileTaken && limit.limitSurface) {
        charge(need, levels.lastPoints(), texture ? kTable.limitUv : kTable.limitPosition);
    }
    return need;
}

}  // namespace

RunMemory::RunMemory(const ObjMesh& mesh, const LimitOptions& limit)
    : mesh_(mesh), limit_(limit), positions_(countSide(mesh, CornerSide::kPosition)) {
    if (mesh.uvCount() != 0) {
        texture_ = countSide(mesh, CornerSide::kTexture);
    }
}

MemoryAmounts RunMemory::estimate(int steps, SurfaceOverlap overlap) const {
    const ObjMesh& mesh = mesh_;
    const bool textured = mesh.uvCount() != 0;
    MemoryAmounts need;
    charge(need, 1, kTable.base);
    charge(need, 1, kTable.writerBuffer);
    // The writer formats more than a chunk of lines on two threads.
    if (textured || (mesh.cornerCount() << (2 * (steps - 1))) > kChunkLines) {
        charge(need, 1, kTable.threads);
    }
    for (int copies = textured ? 2 : 1; copies > 0; --copies) {
        charge(need, mesh.vertexCount(), kTable.recordPosition);
        charge(need, mesh.uvCount(), kTable.recordUv);
        charge(need, mesh.cornerCount(), kTable.recordCorner);
        charge(need, mesh.faceCount(), kTable.recordFace);
    }
    if (!mesh.faceMaterials.empty()) {
        charge(need, mesh.faceCount(), kTable.recordMaterial);
        charge(need, mesh.cornerCount() << (2 * (steps - 1)), kTable.facetLabels);
    }
    charge(need, positions_.unusedVertices + texture_.unusedVertices, kTable.unusedVertex);
    return sum(need, largestPhase(steps, overlap));
}

MemoryAmounts RunMemory::largestPhase(int steps, SurfaceOverlap overlap) const {
    const SideLevels positions = sideLevels(mesh_, positions_, steps);
    const MemoryAmounts positionSide =
        sum(surfaceMemory(positions), lastLevelMemory(positions, false, limit_, true));
    MemoryAmounts written = lastLevelMemory(positions, false, limit_, false);
    // Writing: the refined mesh, and the texts of its indices.
    MemoryAmounts writing = written;
    charge(writing, positions.lastPoints(), kTable.indexText);
    if (mesh_.uvCount() == 0) {
        return larger(positionSide, writing);
    }
    // The texture surface at the level before the last stays until it is paired.
    const SideLevels texture = sideLevels(mesh_, texture_, steps);
    const MemoryAmounts textureSurface = surfaceMemory(texture);
    const MemoryAmounts textureSide =
        sum(textureSurface, lastLevelMemory(texture, true, limit_, true));
    written = sum(written, lastLevelMemory(texture, true, limit_, false));
    charge(written, positions.lastFacets(), kTable.textureCorners);
    const MemoryAmounts pairing = sum(textureSurface, written);
    charge(writing, texture.lastPoints(), kTable.lastUv);
    charge(writing, positions.lastFacets(), kTable.textureCorners);
    const MemoryAmounts afterSides = larger(pairing, writing);
    if (overlap == SurfaceOverlap::kBothAtOnce) {
        return larger(sum(positionSide, textureSide), afterSides);
    }
    // The texture side after the position side, whose last level it keeps.
    return larger(larger(positionSide,
                         sum(textureSide, lastLevelMemory(positions, false, limit_, false))),
                  afterSides);
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
