#pragma once

#include "Polyhedron.h"
#include "ObjMesh.h"
#include "RefinementRules.h"
#include "SmoothingOptions.h"

namespace faceloom {

// The rules that refine the position surface under `options`.
RefinementRules positionRules(const SmoothingOptions& options);

// The rules that refine the texture layout `surface`, just built from the faces of
// `layout` (whose corners pair a position index with a layout vertex index), under
// `options`. They say which layout vertices stay where they are:
// - a corner: a layout vertex of a single face;
// - a junction: a layout vertex at a position where three or more layout vertices
//   (islands) meet;
// - beside a corner: a layout vertex at the position of a corner (a layout vertex of
//   a single face) of another island, whose faces bend round that corner (concave,
//   the inner corner of an L-shaped island, when the position has four faces);
// - a dart: where a seam ends inside the mesh.
// What decides is the layout's topology, not its angles in uv.
RefinementRules layoutRules(const ObjMesh& layout, const Polyhedron& surface,
                            const SmoothingOptions& options);

}  // namespace faceloom
