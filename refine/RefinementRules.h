#pragma once

#include <vector>

namespace faceloom {

// Which subdivision rules refine a surface. The default is Catmull-Clark everywhere,
// with border vertices following their border curve.
struct RefinementRules {
    // Bilinear instead of Catmull-Clark: face and edge points are plain averages and
    // every old vertex stays where it is.
    bool linear = false;
    // Every border vertex stays where it is, so every border stays the polyline it was.
    bool keepBorders = false;
    // A border vertex of a single face (a corner of the surface) stays where it is.
    bool keepOneFaceCorners = false;
    // By vertex index: the vertices of the unrefined surface that stay where they are.
    // Refinement keeps the old vertices first, in their order, so the indices hold at
    // every step. Only border vertices are looked up.
    std::vector<bool> keep;
};

// Adds the vertices `alsoKeep` marks (by index; empty for none) to those `rules` keep.
inline void keepAlso(const std::vector<bool>& alsoKeep, RefinementRules& rules) {
    if (rules.keep.size() < alsoKeep.size()) {
        rules.keep.resize(alsoKeep.size(), false);
    }
    for (std::size_t v = 0; v < alsoKeep.size(); ++v) {
        if (alsoKeep[v]) {
            rules.keep[v] = true;
        }
    }
}

}  // namespace faceloom
