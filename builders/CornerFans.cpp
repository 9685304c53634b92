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

std::vector<std::uint64_t> cornerFans(const ObjMesh& mesh, const EdgeLink& linked) {
    const std::vector<EdgeUse> uses = sortedEdgeUses(mesh, CornerSide::kPosition);
    CornerGroups groups(mesh.cornerCount());
    forEachEdge(uses, [&](std::size_t first, std::size_t count) {
        // An edge of three faces or more joins none of them: each is a sheet of its own.
        if (count == 2) {
            const EdgeUse& f = uses[first];
            const EdgeUse& g = uses[first + 1];
            if (linked(f.atLow, g.atLow, f.atHigh, g.atHigh)) {
                groups.join(f.atLow, g.atLow);
                groups.join(f.atHigh, g.atHigh);
            }
        }
    });
    std::vector<std::uint64_t> fans(mesh.cornerCount());
    for (std::uint64_t c = 0; c < mesh.cornerCount(); ++c) {
        fans[c] = groups.root(c);
    }
    return fans;
}

}  // namespace faceloom
