#pragma once

#include <cstdint>
#include <vector>

#include "FacetLineage.h"
#include "FilledLater.h"
#include "RefinedMesh.h"
#include "RefinementRules.h"
#include "SurfaceMesh.h"

namespace faceloom {

// The last step of a refinement, computed rather than built: its points from the
// surface before it, with the same mask as every step (StepPoints.h), and its facets in
// closed form (PqqNumbering.h), straight into what the writer takes. The level before
// it, a quarter of its size, is the largest surface a run builds.
//
// The two sides are paired at their parents, the facets of the level before the last:
// the position and texture facets holding one slot there correspond, corner for
// canonical corner, and so do their children. So the texture side puts its corners over
// the position facets from what the position side says of its parents, and the last
// level needs no names of its own.

// What the texture side needs of the position side's level before the last: per facet
// there, its lead corner (PqqNumbering.h), where its canonical corner 0 stands, the
// number of its first new child; and which facet holds each slot (empty before the first
// step: facet f is input face f on both sides).
struct PositionParents {
    FilledLater<std::uint32_t> leads;
    FilledLater<std::uint32_t> rotations;
    FilledLater<std::uint32_t> firstNew;
    FilledLater<std::uint32_t> facetAtSlot;
};

// The positions of the last level and the corners of its facets, in CGAL's order, from
// the position surface at the level before it, named by `lineage`. Fills `parents`, and
// `inputFaces` with the input face of each facet (when `lineage` names them).
void computeLastPositions(SurfaceMesh& surface, const RefinementRules& rules,
                          const FacetLineage& lineage, RefinedMesh& mesh,
                          PositionParents& parents, std::vector<std::uint32_t>& inputFaces);

// The texture coordinates of the last level, from the texture surface at the level
// before it.
void computeLastUvs(SurfaceMesh& surface, const RefinementRules& rules,
                    FilledLater<Point2f>& uvs);

// The texture corners over the corners of the position facets of `mesh`, from the
// texture surface at the level before the last, named by `lineage`, on two threads.
// False (nothing taken) when the two sides don't pair there.
bool pairLastTexture(const SurfaceMesh& surface, const FacetLineage& lineage,
                     const PositionParents& parents, RefinedMesh& mesh);

}  // namespace faceloom
