#include "support/TextureContinuity.h"

#include <map>
#include <utility>

namespace test {

namespace {

using Edge = std::pair<long, long>;

Edge undirected(long a, long b) {
    return a < b ? Edge{a, b} : Edge{b, a};
}

struct EdgeUse {
    std::size_t facet;
    long p0, p1;  // the position edge as the facet runs it
    long t0, t1;  // texture indices at p0 and p1
};

}  // namespace

std::vector<std::string> textureContinuityProblems(const ObjFile& obj) {
    std::map<Edge, std::vector<EdgeUse>> byPositionEdge;
    std::map<Edge, int> textureEdgeUses;
    for (std::size_t k = 0; k < obj.f.size(); ++k) {
        const auto& facet = obj.f[k];
        for (std::size_t j = 0; j < facet.size(); ++j) {
            const auto& a = facet[j];
            const auto& b = facet[(j + 1) % facet.size()];
            byPositionEdge[undirected(a.p, b.p)].push_back({k, a.p, b.p, a.t, b.t});
            ++textureEdgeUses[undirected(a.t, b.t)];
        }
    }
    std::vector<std::string> problems;
    for (const auto& [edge, uses] : byPositionEdge) {
        if (uses.size() != 2) {
            continue;  // a border of the mesh
        }
        const EdgeUse& u = uses[0];
        const EdgeUse& w = uses[1];
        if (u.t0 == 0 || w.t0 == 0) {
            continue;  // a border of the texture: one facet has none
        }
        // The texture index each facet gives to the edge's first position.
        const long wAtU0 = (w.p0 == u.p0) ? w.t0 : w.t1;
        const long wAtU1 = (w.p0 == u.p0) ? w.t1 : w.t0;
        if (wAtU0 == u.t0 && wAtU1 == u.t1) {
            continue;  // continuous across the edge
        }
        if (textureEdgeUses[undirected(u.t0, u.t1)] == 1 &&
            textureEdgeUses[undirected(w.t0, w.t1)] == 1) {
            continue;  // a seam: each side is a border of the texture layout
        }
        problems.push_back("position edge " + std::to_string(edge.first) + "-" +
                           std::to_string(edge.second) + " between facets " +
                           std::to_string(u.facet + 1) + " and " + std::to_string(w.facet + 1));
    }
    return problems;
}

}  // namespace test
