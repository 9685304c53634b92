#pragma once

#include <CGAL/Polyhedron_3.h>
#include <CGAL/Polyhedron_items_with_id_3.h>
#include <CGAL/Simple_cartesian.h>

// The surface type of both refinements: a halfedge polyhedron over single-precision
// coordinates. Its items carry an id so that a vertex's place in the vertex list
// can be looked up in constant time.
using Kernel = CGAL::Simple_cartesian<float>;
using Polyhedron = CGAL::Polyhedron_3<Kernel, CGAL::Polyhedron_items_with_id_3>;
using HDS = Polyhedron::HalfedgeDS;

