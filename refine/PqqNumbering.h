#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "SurfaceMesh.h"

namespace faceloom {

// How CGAL 5.5's Catmull-Clark step (Subdivision_method_3::PQQ on a Surface_mesh)
// numbers what it makes, in closed form: the computed steps make the same items with
// the same numbers without the step's Euler operations. NumberingProbe.h checks this
// against CGAL itself before a run relies on it.
//
// A surface of V vertices, E edges and F facets becomes V + E + F vertices: the old ones
// first (same numbers), then one per edge (V + e), then one per facet (V + E + f).
//
// The step splits the edges in edge order, and the split of edge e leaves halfedge(f) of
// each facet f beside it on the halfedge from e's new vertex to the corner after it. So
// after the splits, halfedge(f) of a facet leads to its "lead" corner: the one entered
// by f's largest halfedge index (both halfedges of an edge entering f: the odd one).
// Counting the corners of f from its lead, c0 = lead, c1, ..., c(k-1) in f's order, f's
// k children are numbered: c1's D, c2's f itself, cj's D + j - 2 for j = 3 .. k-1, and
// c0's D + k - 2, where D = F + the sum of (corners - 1) over the facets before f (for
// quadrilaterals, D = F + 3f).
//
// Each child is the quadrilateral [corner, next edge point, facet point, previous edge
// point] in f's orientation. CGAL's cycle of a child (from the target of its
// halfedge()) starts so that its old corner stands at place 1 for c0's and c1's child,
// and at place 2 for the others.
//
// The level after a first step is built the same way (FirstLevel.h), every item
// numbered, linked and pointed to as CGAL's step leaves it.

// Where a facet's children go, from the facet's number, the number of its first new
// child (D), its corners and the place of its lead corner in its cycle.
struct ChildNumbering {
    std::uint32_t facet;
    std::uint32_t firstNew;
    std::uint32_t corners;
    std::uint32_t lead;

    // The number of the child at cycle place i.
    std::uint32_t child(std::uint32_t i) const {
        const std::uint32_t j = (i + corners - lead) % corners;  // counted from the lead
        return j == 0 ? firstNew + corners - 2 : j == 1 ? firstNew : j == 2 ? facet : firstNew + j - 2;
    }
    // Where that child's old corner stands in its own cycle: 1 or 2.
    std::uint8_t childRotation(std::uint32_t i) const {
        return (i + corners - lead) % corners <= 1 ? 1 : 2;
    }
};

// A facet of the surface before a step, as the step meets it: its corners from the
// target of halfedge(f) on, each with the halfedge that enters it.
struct ParentFacet {
    std::uint32_t facet = 0;
    std::uint32_t firstNew = 0;  // D: the number of its first new child
    std::vector<SurfaceMesh::Halfedge_index> entering;
    std::uint32_t lead = 0;  // the place of the lead corner in the cycle

    std::uint32_t corners() const { return static_cast<std::uint32_t>(entering.size()); }
    ChildNumbering numbering() const { return {facet, firstNew, corners(), lead}; }
    std::uint32_t child(std::uint32_t i) const { return numbering().child(i); }
    std::uint8_t childRotation(std::uint32_t i) const { return numbering().childRotation(i); }
};

// Reads facet f of `surface` into `parent` (its cycle and first new child's number,
// `firstNew`). The facet must pass through each of its corners once, as every built
// facet does (the builders refuse others), and so through each of its edges once.
void readParent(const SurfaceMesh& surface, SurfaceMesh::Face_index f, std::uint32_t firstNew,
                ParentFacet& parent);

// Calls visit(parent, place) for every corner of every facet of `surface`, in facet
// order, each facet read as the step meets it.
template <class Visit>
void forEachChild(const SurfaceMesh& surface, Visit visit) {
    ParentFacet parent;
    auto firstNew = static_cast<std::uint32_t>(surface.number_of_faces());
    for (const SurfaceMesh::Face_index f : surface.faces()) {
        readParent(surface, f, firstNew, parent);
        for (std::uint32_t place = 0; place < parent.corners(); ++place) {
            visit(parent, place);
        }
        firstNew += parent.corners() - 1;
    }
}

// The corners of a child quadrilateral by their role: its old corner, the edge point
// after it, the facet point, the edge point before it (level-after numbers).
using ChildRoles = std::array<std::uint32_t, 4>;

// The roles of the child at cycle place i of `parent` on `surface` (before the step).
ChildRoles childRoles(const SurfaceMesh& surface, const ParentFacet& parent, std::uint32_t i);

// The child's corners in CGAL's cycle, from its roles and its rotation.
inline std::array<std::uint32_t, 4> childCycle(const ChildRoles& roles, unsigned rotation) {
    std::array<std::uint32_t, 4> cycle{};
    for (unsigned role = 0; role < 4; ++role) {
        cycle[(role + rotation) & 3u] = roles[role];
    }
    return cycle;
}

}  // namespace faceloom
