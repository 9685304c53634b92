#include "NumberingProbe.h"

#include <cstring>
#include <vector>

#include "CatmullClarkStep.h"
#include "FirstLevel.h"
#include "PqqNumbering.h"
#include "StepPoints.h"

namespace faceloom {

namespace {

using Index = SurfaceMesh::size_type;

bool sameBits(const Kernel::Point_3& a, const Kernel::Point_3& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A strip of a triangle, two quadrilaterals and a pentagon with a border all round, a
// quadrilateral closing part of it, and a vertex no facet uses.
SurfaceMesh probeSurface() {
    SurfaceMesh surface;
    const float points[][3] = {{0, 0, 0}, {1, 0, 0.2f}, {2, 0, 0},   {3, 0, 0.1f}, {0, 1, 0},
                               {1, 1, 0}, {2, 1, 0.3f}, {3, 1, 0},   {4, 0.5f, 0}, {1.5f, 2, 0},
                               {0, 2, 1}, {9, 9, 9}};
    for (const auto& p : points) {
        surface.add_vertex(Kernel::Point_3(p[0], p[1], p[2]));
    }
    const auto v = [](Index i) { return SurfaceMesh::Vertex_index(i); };
    surface.add_face(v(0), v(1), v(4));
    surface.add_face(v(1), v(2), v(6), v(5));
    surface.add_face(std::vector<SurfaceMesh::Vertex_index>{v(2), v(3), v(8), v(7), v(6)});
    surface.add_face(v(5), v(6), v(9), v(10));
    surface.add_face(v(1), v(5), v(10), v(4));
    return surface;
}

// Whether the computed last step of `before` gives the points and facet cycles of
// `after`, CGAL's step of it.
bool computesAsCgalSteps(SurfaceMesh before, const SurfaceMesh& after) {
    bool same = after.number_of_vertices() == before.number_of_vertices() +
                                                  before.number_of_edges() +
                                                  before.number_of_faces();
    computeStepPoints(before, RefinementRules{}, [&](std::size_t i, const Kernel::Point_3& p) {
        same = same && i < after.number_of_vertices() &&
               sameBits(p, after.point(SurfaceMesh::Vertex_index(static_cast<Index>(i))));
    });
    forEachChild(before, [&](const ParentFacet& parent, std::uint32_t place) {
        const SurfaceMesh::Face_index child(parent.child(place));
        const auto cycle = childCycle(childRoles(before, parent, place), parent.childRotation(place));
        SurfaceMesh::Halfedge_index h = after.halfedge(child);
        for (const std::uint32_t corner : cycle) {
            same = same && static_cast<std::uint32_t>(after.target(h)) == corner;
            h = after.next(h);
        }
        same = same && h == after.halfedge(child);
    });
    return same;
}

}  // namespace

bool sameSurface(const SurfaceMesh& a, const SurfaceMesh& b) {
    if (a.number_of_vertices() != b.number_of_vertices() ||
        a.number_of_halfedges() != b.number_of_halfedges() ||
        a.number_of_faces() != b.number_of_faces()) {
        return false;
    }
    for (const SurfaceMesh::Vertex_index v : a.vertices()) {
        if (!sameBits(a.point(v), b.point(v)) || a.halfedge(v) != b.halfedge(v)) {
            return false;
        }
    }
    for (const SurfaceMesh::Halfedge_index h : a.halfedges()) {
        if (a.target(h) != b.target(h) || a.next(h) != b.next(h) || a.face(h) != b.face(h)) {
            return false;
        }
    }
    for (const SurfaceMesh::Face_index f : a.faces()) {
        if (a.halfedge(f) != b.halfedge(f)) {
            return false;
        }
    }
    return true;
}

bool stepNumberingHolds() {
    try {
        SurfaceMesh surface = probeSurface();
        SurfaceMesh cgals = surface;
        refineOneStep(cgals, RefinementRules{});
        SurfaceMesh built;
        buildFirstLevel(surface, RefinementRules{}, LevelRoom{}, built);
        SurfaceMesh secondLevel = cgals;
        refineOneStep(secondLevel, RefinementRules{});
        return sameSurface(built, cgals) && computesAsCgalSteps(surface, cgals) &&
               computesAsCgalSteps(cgals, secondLevel);
    } catch (const std::exception&) {
        return false;  // CGAL refused what it took before: not the numbering relied on
    }
}

}  // namespace faceloom
