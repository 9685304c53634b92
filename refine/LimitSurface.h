#pragma once

#include <vector>

#include "RefinementRules.h"
#include "SurfaceMesh.h"
#include "RefinedMesh.h"

namespace faceloom {

// What is taken from the limit surface once the last step is done: the points moved
// to their limits ("--limit-surface"), the limit normals ("--normals").
struct LimitOptions {
    bool limitSurface = false;
    bool normals = false;

    bool any() const { return limitSurface || normals; }
};

// The limit of the last refined level, read through the level before it.
//
// `previous` is the surface of the level before the last, and `refined` the points of
// the last level in the order a refinement step numbers them: first one point per
// vertex of `previous` (its vertex point), then one per edge in edge index order (its
// edge point), then one per face in face index order (its face point). `rules` are
// the rules the last step was taken by. Each refined vertex's 1-ring is read off
// `previous`: an old vertex has the edge points of its edges as neighbours and the
// face points of its faces as diagonals; an edge point has its edge's two vertex
// points and two face points as neighbours, and the edge points of those faces' other
// edges at its ends as diagonals; a face point has the edge points of its face's
// edges as neighbours and its corners' vertex points as diagonals. LimitStencils
// turns each ring into a limit point and a normal.
//
// Every function returns false, changing nothing, when `refined` doesn't have one
// point per vertex, edge and face of `previous`.

// Replaces `positions` by their limits (when options.limitSurface) and fills
// `normals` with one unit normal per position (when options.normals; zero for a
// position on no facet).
bool takePositionLimits(const SurfaceMesh& previous, const RefinementRules& rules,
                        const LimitOptions& options, FilledLater<Point3f>& positions,
                        FilledLater<Point3f>& normals);

// Replaces the texture coordinates `uvs` (of the texture layout's surface, whose
// points are (u, v, 0)) by their limits.
bool takeTextureLimits(const SurfaceMesh& previous, const RefinementRules& rules,
                       FilledLater<Point2f>& uvs);

}  // namespace faceloom
