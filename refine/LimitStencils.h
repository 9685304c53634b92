#pragma once

#include <cstddef>
#include <vector>

namespace faceloom {

// A point or direction of the limit computation, in double precision.
struct Vector3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The 1-ring of a vertex of a refined level, whose faces are all quadrilaterals. The
// faces around the vertex u are (u, N[i], D[i], N[i + 1]) in the facets' winding
// order: N holds the neighbours across the vertex's edges, D the far corners of its
// faces. Inside the surface the ring closes (N[n] is N[0]; as many diagonals as
// neighbours); on a border N.front() and N.back() are the border neighbours and there
// is one diagonal fewer. Both are stored relative to the centre.
struct Ring {
    Vector3 centre;
    std::vector<Vector3> neighbours;
    std::vector<Vector3> diagonals;
    bool border = false;

    std::size_t faces() const { return diagonals.size(); }
};

// How a refined vertex moves on under further refinement.
enum class VertexRule {
    kSmooth,    // Catmull-Clark: inside, or along its border curve on a border
    kPinned,    // stays where it is: a kept corner or border, every vertex of a linear refinement
    kIsolated,  // on no face; stays where it is
};

// The limit of Catmull-Clark refinement at a vertex of a refined level, from its
// 1-ring (the refined level has only quadrilaterals). The masks are the left
// eigenvectors of the subdivision matrix of the ring:
// - inside, valence n: the point (n^2 u + 4 sum N + sum D) / (n (n + 5)); the
//   tangents sum_i A cos(2 pi i / n) N[i] + (cos(2 pi i / n) + cos(2 pi (i + 1) / n)) D[i]
//   and the same with sines, A = 1 + cos(2 pi / n) + cos(pi / n) sqrt(2 (9 + cos(2 pi / n)))
//   (the Fourier mode of the subdominant eigenvalue);
// - on a border, k faces: the border curve's cubic B-spline point (N0 + 4 u + Nk) / 6,
//   the tangent N0 - Nk along it, and across it the sine mode of the ring
//   (theta = pi / k): 4 sin(i theta) on the inner neighbours, sin(i theta) +
//   sin((i + 1) theta) on the diagonals, -4 sin(theta) on u, and on the border
//   neighbours what makes the weights sum to zero. That is the eigenvector of the
//   border curve's eigenvalue 1/2 (exact for k = 2, the regular border, and the
//   convention the reference follows for other k);
// - on a border with a single face: the tangents run along its two edges (the
//   curve's tangent and its curvature span the limit's tangent plane there);
// - pinned vertices stay; their normal is the facets' (see limitNormal).
//
// Normals are the tangents' cross product, oriented as the facets are wound. Where
// the tangents are degenerate (an inside vertex of two faces, parallel or vanishing
// tangents, a pinned vertex of several faces, every vertex of a linear refinement)
// the normal is the normalised sum of the unit normals of the vertex's facets.
//
// An instance keeps the weights of each valence it has met; one per thread.
class LimitStencils {
public:
    Vector3 limitPoint(const Ring& ring, VertexRule rule) const;
    // The unit normal, or zero when there is none (no facets, or facets that cancel).
    Vector3 limitNormal(const Ring& ring, VertexRule rule);

private:
    struct Weights {
        std::vector<double> neighbour;  // of N[i], per tangent
        std::vector<double> diagonal;   // of D[i], per tangent
    };
    const Weights& insideWeights(std::size_t valence, int tangent);
    const Weights& borderWeights(std::size_t faces);
    bool tangents(const Ring& ring, Vector3& first, Vector3& second);

    std::vector<Weights> inside_[2];  // by valence, for the cosine and the sine tangent
    std::vector<Weights> border_;     // by face count, across the border
};

// The normalised sum of the unit normals of the ring's facets; zero when they cancel
// or there are none.
Vector3 facetNormal(const Ring& ring);

}  // namespace faceloom
