#pragma once

#include <cstddef>

#include <CGAL/Surface_mesh.h>

#include "Diagnostics.h"
#include "ObjMesh.h"
#include "Polyhedron.h"
#include "RepairingBuild.h"

namespace faceloom {

// The surface type the refinement runs on: CGAL's Surface_mesh, whose items are plain
// integer indices into property arrays. Refining it takes about a third less time
// and half the memory of refining the Polyhedron_3 the builders make.
using SurfaceMesh = CGAL::Surface_mesh<Kernel::Point_3>;

// The 0-based place of `v` in the vertex list of `surface`.
inline std::size_t vertexIndex(const SurfaceMesh&, SurfaceMesh::Vertex_index v) {
    return static_cast<std::size_t>(v);
}

// Copies `polyhedron` into `mesh` item for item: every vertex, halfedge and facet
// keeps its index (its offset in the polyhedron's arrays), every halfedge its next,
// target and facet, every vertex and facet its halfedge. Refined by the same steps,
// the copy comes out exactly as the polyhedron would, vertex for vertex and bit for
// bit; a surface built anew from the same faces would not (CGAL would pick other
// halfedges, and the sums of the refinement would run in another order).
// False (and `mesh` left empty) when the polyhedron doesn't keep each halfedge next to
// its opposite, as the mesh needs; the array storage always does.
bool copyIndexPreserving(const Polyhedron& polyhedron, SurfaceMesh& mesh);

// Copies a built surface (of `faces`) into the one that is refined; when it can't, says
// so as the builder would and takes the surface as not built.
void copyForRefinement(const Polyhedron& built, const ObjMesh& faces, SurfaceMesh& surface,
                       BuiltSurface& result, Diagnostics& diagnostics);

}  // namespace faceloom
