#pragma once

#include <cstddef>

#include <CGAL/HalfedgeDS_vector.h>
#include <CGAL/Polyhedron_3.h>
#include <CGAL/Simple_cartesian.h>

namespace faceloom {

// The surface type the builders make: a halfedge polyhedron over single-precision
// coordinates, its vertices, halfedges and facets each kept in one array. It is copied
// item for item into the surface that is refined (see SurfaceMesh.h).
//
// Array storage instead of CGAL's default linked lists: one heap block per item costs
// memory, allocation and release time, and cache misses on every walk. It also gives
// every vertex its index for free (its offset in the array), which the copy keeps. The
// arrays must never move while handles are held, so the builders reserve room first,
// in begin_surface.
using Kernel = CGAL::Simple_cartesian<float>;
using Polyhedron = CGAL::Polyhedron_3<Kernel, CGAL::Polyhedron_items_3, CGAL::HalfedgeDS_vector>;
using HDS = Polyhedron::HalfedgeDS;

// The 0-based place of `v` in the vertex list of `surface`.
inline std::size_t vertexIndex(const Polyhedron& surface, Polyhedron::Vertex_const_handle v) {
    return static_cast<std::size_t>(&*v - &*surface.vertices_begin());
}

}  // namespace faceloom
