#include "CornerFans.h"

#include <algorithm>
#include <numeric>

namespace faceloom {

namespace {

// Union-find over the corners; the smallest corner of a group is its root, so
// the fan's name does not depend on the order the edges are linked in.
class CornerGroups {
public:
    explicit CornerGroups(std::uint64_t count) : parent_(count) {
        std::iota(parent_.begin(), parent_.end(), std::uint64_t{0});
    }
    std::uint64_t root(std::uint64_t c) {
        while (parent_[c] != c) {
            parent_[c] = parent_[parent_[c]];
            c = parent_[c];
        }
        return c;
    }
    void join(std::uint64_t a, std::uint64_t b) {
        a = root(a);
        b = root(b);
        if (a != b) {
            parent_[std::max(a, b)] = std::min(a, b);
        }
    }

private:
    std::vector<std::uint64_t> parent_;
};

}  // namespace

CornerFans cornerFans(const ObjMesh& mesh, const EdgeLink& linked, CrowdedEdges crowded) {
    const std::vector<EdgeUse> uses = sortedEdgeUses(mesh, CornerSide::kPosition);
    CornerGroups groups(mesh.cornerCount());
    bool anyCrowded = false;
    forEachEdge(uses, [&](std::size_t first, std::size_t count) {
        const EdgeUse& f = uses[first];
        if (count == 2) {
            const EdgeUse& g = uses[first + 1];
            if (linked(f.atLow, g.atLow, f.atHigh, g.atHigh)) {
                groups.join(f.atLow, g.atLow);
                groups.join(f.atHigh, g.atHigh);
            }
        } else if (count > 2) {
            anyCrowded = true;
            if (crowded == CrowdedEdges::kJoin) {
                for (std::size_t k = first + 1; k < first + count; ++k) {
                    groups.join(f.atLow, uses[k].atLow);
                    groups.join(f.atHigh, uses[k].atHigh);
                }
            }
        }
    });
    CornerFans result;
    if (anyCrowded) {
        forEachEdge(uses, [&](std::size_t first, std::size_t count) {
            const EdgeUse& f = uses[first];
            for (std::size_t k = first + 1; count > 2 && k < first + count; ++k) {
                if (groups.root(f.atLow) != groups.root(uses[k].atLow) ||
                    groups.root(f.atHigh) != groups.root(uses[k].atHigh)) {
                    ++result.partedEdges;
                    break;
                }
            }
        });
    }
    result.fanOf.resize(mesh.cornerCount());
    for (std::uint64_t c = 0; c < mesh.cornerCount(); ++c) {
        result.fanOf[c] = groups.root(c);
    }
    return result;
}

}  // namespace faceloom
