#pragma once

#include <cstddef>
#include <functional>

#include <CGAL/HalfedgeDS_vector.h>
#include <CGAL/Polyhedron_3.h>
#include <CGAL/Simple_cartesian.h>

namespace faceloom {

// The surface type of both refinements: a halfedge polyhedron over single-precision
// coordinates, its vertices, halfedges and facets each kept in one array.
//
// Array storage instead of CGAL's default linked lists: a refined surface holds tens
// of millions of items, and one heap block per item costs memory, allocation and
// release time, and cache misses on every walk. It also gives every vertex its index
// for free (its offset in the array). The arrays must never move while handles are
// held, so whoever adds items reserves room first (the builders in begin_surface,
// the refinement before each step).
using Kernel = CGAL::Simple_cartesian<float>;
using Polyhedron = CGAL::Polyhedron_3<Kernel, CGAL::Polyhedron_items_3, CGAL::HalfedgeDS_vector>;
using HDS = Polyhedron::HalfedgeDS;

// The 0-based place of `v` in the vertex list of `surface`.
inline std::size_t vertexIndex(const Polyhedron& surface, Polyhedron::Vertex_const_handle v) {
    return static_cast<std::size_t>(&*v - &*surface.vertices_begin());
}

}  // namespace faceloom

// CGAL's refinement keys a hash map by vertex handle; the array storage's handles
// come without a hash of their own.
namespace std {
template <>
struct hash<faceloom::Polyhedron::Vertex_handle> {
    std::size_t operator()(faceloom::Polyhedron::Vertex_handle v) const noexcept {
        return std::hash<const void*>()(&*v);
    }
};
}  // namespace std
