#include "builders/CornerFans.h"

#include <algorithm>
#include <numeric>

#include "builders/SurfaceBuild.h"

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

// One face's use of an edge: the undirected edge, and the face's corners at its
// smaller and its larger position.
struct EdgeUse {
    std::uint64_t key;
    std::uint64_t atLow, atHigh;
};

}  // namespace

bool hasPolygonFaces(const ObjMesh& mesh) {
    std::vector<std::uint32_t> indices;
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        if (mesh.faceTypes[face].x == kCornersUnread || mesh.faceTypes[face].y < 3) {
            return false;
        }
        indices.clear();
        for (const vec2<unsigned int>& corner : mesh.faceCorners(face)) {
            if (corner.x < 1 || corner.x > mesh.vertexCount) {
                return false;
            }
            indices.push_back(corner.x);
        }
        if (firstRepeated(indices) != kNoneRepeated) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint64_t> cornerFans(const ObjMesh& mesh, const EdgeLink& linked) {
    std::vector<EdgeUse> uses;
    uses.reserve(mesh.cornerCount);
    for (std::uint32_t face = 0; face < mesh.faceCount; ++face) {
        const std::uint64_t first = mesh.faceStarts[face];
        const std::uint32_t n = mesh.faceTypes[face].y;
        for (std::uint32_t k = 0; k < n; ++k) {
            std::uint64_t a = first + k, b = first + (k + 1) % n;
            if (mesh.corners[a].x > mesh.corners[b].x) {
                std::swap(a, b);
            }
            uses.push_back({(std::uint64_t{mesh.corners[a].x} << 32) | mesh.corners[b].x, a, b});
        }
    }
    std::sort(uses.begin(), uses.end(),
              [](const EdgeUse& l, const EdgeUse& r) { return l.key < r.key; });

    CornerGroups groups(mesh.cornerCount);
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t end = i + 1;
        while (end < uses.size() && uses[end].key == uses[i].key) {
            ++end;
        }
        // An edge of three faces or more joins none of them: each is a sheet of its own.
        if (end - i == 2) {
            const EdgeUse& f = uses[i];
            const EdgeUse& g = uses[i + 1];
            if (linked(f.atLow, g.atLow, f.atHigh, g.atHigh)) {
                groups.join(f.atLow, g.atLow);
                groups.join(f.atHigh, g.atHigh);
            }
        }
        i = end;
    }
    std::vector<std::uint64_t> fans(mesh.cornerCount);
    for (std::uint64_t c = 0; c < mesh.cornerCount; ++c) {
        fans[c] = groups.root(c);
    }
    return fans;
}

}  // namespace faceloom
