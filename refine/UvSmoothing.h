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
// - a concave corner: a border vertex of the layout whose faces' angles at it add up
//   to more than 180 degrees.
RefinementRules layoutRules(const ObjMesh& layout, const Polyhedron& surface,
                            const SmoothingOptions& options);

}  // namespace faceloom
