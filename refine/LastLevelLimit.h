#pragma once

#include <optional>

#include "LimitSurface.h"
#include "RefinedMesh.h"
#include "RefinementRules.h"
#include "SurfaceMesh.h"

namespace faceloom {

// What a side of the run keeps for the limit of its last level: the options, the
// rules of its last step, and the level before the last, copied before the last step
// (the limit reads each refined vertex's ring off that level; see LimitSurface.h).
struct LastLevelLimit {
    LimitOptions options;
    RefinementRules rules;
    std::optional<SurfaceMesh> beforeLast;

    // Keeps a copy of `surface`, about to take its last step, when a limit is asked for.
    void keepBeforeLast(const SurfaceMesh& surface);
    // Moves the refined positions of `mesh` to their limits and gives it normals, as
    // the options ask; then lets the copy go. False when the positions don't number
    // the level after the copy.
    bool takePositions(RefinedMesh& mesh);
    // Moves the refined texture coordinates of `mesh` to their limits when asked;
    // then lets the copy go. False when they don't number the level after the copy.
    bool takeTexture(RefinedMesh& mesh);
};

}  // namespace faceloom
