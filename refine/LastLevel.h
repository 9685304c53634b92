#pragma once

#include <cstdint>
#include <vector>

#include "FacetLineage.h"
#include "RefinedMesh.h"
#include "RefinementRules.h"
#include "SurfaceMesh.h"

namespace faceloom {

// The last step of a refinement, computed rather than built: its points from the
// surface before it, with the same mask as every step (StepPoints.h), and its facets in
// closed form (PqqNumbering.h), straight into what the writer takes. The level before
// it, a quarter of its size, is the largest surface a run builds.

// The positions of the last level and the corners of its facets, in CGAL's order, from
// the position surface at the level before it. `lineage` names the new facets (their
// slots, for the pairing and the materials).
void computeLastPositions(SurfaceMesh& surface, const RefinementRules& rules,
                          FacetLineage& lineage, RefinedMesh& mesh);

// The texture side's last level: its texture coordinates, and per slot the corners of
// the facet that holds it, by role (old corner, next edge point, facet point, previous
// edge point), for the position facet of the same slot to take.
struct TextureBySlot {
    FilledLater<Point2f> uvs;
    FilledLater<std::uint32_t> roles;  // four per slot
};
void computeLastTexture(SurfaceMesh& surface, const RefinementRules& rules,
                        const FacetLineage& lineage, TextureBySlot& texture);

// Gives every facet of `mesh` (computeLastPositions) the texture corners over its
// corners, and the texture coordinates. False (nothing taken) when the two sides don't
// pair slot for slot.
bool pairLastLevel(const FacetLineage& positions, TextureBySlot& texture, RefinedMesh& mesh);

}  // namespace faceloom
