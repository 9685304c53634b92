// The limit stencils on rings laid out by hand: on a plane every tangent lies in the
// plane, so each vertex's normal is the plane's (wound as the facets are), and the
// limit stays in the plane; where the tangents vanish the facets decide.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "LimitStencils.h"

using namespace faceloom;

namespace {

constexpr double kPi = 3.14159265358979323846;

// A point of the plane through (1, 2, 3) spanned by u = (1, 0, 1) / sqrt 2 and
// v = (0, 1, 0), relative to (1, 2, 3): the plane's normal is u x v = (-1, 0, 1) / sqrt 2.
Vector3 onPlane(double s, double t) {
    return {s / std::sqrt(2.0), t, s / std::sqrt(2.0)};
}

// A ring of `faces` quadrilaterals around the centre, spread over `turn` radians (a
// full turn inside the surface), uneven radii so that no symmetry helps.
Ring planarRing(std::size_t faces, double turn) {
    Ring ring;
    ring.centre = {1, 2, 3};
    ring.border = turn < 2 * kPi - 1e-9;
    const std::size_t neighbours = ring.border ? faces + 1 : faces;
    for (std::size_t i = 0; i < neighbours; ++i) {
        const double a = turn * i / faces, r = 1.0 + 0.1 * (i % 3);
        ring.neighbours.push_back(onPlane(r * std::cos(a), r * std::sin(a)));
    }
    for (std::size_t i = 0; i < faces; ++i) {
        const double a = turn * (i + 0.5) / faces, r = 1.4 + 0.2 * (i % 2);
        ring.diagonals.push_back(onPlane(r * std::cos(a), r * std::sin(a)));
    }
    return ring;
}

void expectPlaneNormal(const Vector3& n, double sign) {
    EXPECT_NEAR(n.x, -sign / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(n.y, 0.0, 1e-12);
    EXPECT_NEAR(n.z, sign / std::sqrt(2.0), 1e-12);
}

TEST(LimitStencilsTest, OnAPlaneTheNormalIsThePlanesWoundAsTheFacets) {
    LimitStencils stencils;
    for (std::size_t faces = 1; faces <= 8; ++faces) {
        for (const double turn : {2 * kPi, kPi, 1.4 * kPi, 0.5 * kPi}) {
            if ((faces < 3 && turn > 2 * kPi - 1e-9) || (faces == 1 && turn > kPi)) {
                continue;  // a closed ring needs three faces; a quadrilateral, no reflex corner
            }
            SCOPED_TRACE(std::to_string(faces) + " faces over " + std::to_string(turn));
            Ring ring = planarRing(faces, turn);
            for (const VertexRule rule : {VertexRule::kSmooth, VertexRule::kPinned}) {
                expectPlaneNormal(stencils.limitNormal(ring, rule), 1.0);
                const Vector3 limit = stencils.limitPoint(ring, rule);
                // Still on the plane: its normal component is zero.
                EXPECT_NEAR(-(limit.x - 1) + (limit.z - 3), 0.0, 1e-12);
            }
            // The same faces wound the other way round.
            std::reverse(ring.neighbours.begin(), ring.neighbours.end());
            std::reverse(ring.diagonals.begin(), ring.diagonals.end());
            if (!ring.border) {
                std::rotate(ring.neighbours.rbegin(), ring.neighbours.rbegin() + 1,
                            ring.neighbours.rend());
            }
            expectPlaneNormal(stencils.limitNormal(ring, VertexRule::kSmooth), -1.0);
        }
    }
}

// Inside, a vertex of two faces (a pillow's): the tangent masks vanish, and the
// facets decide. Back to back over one far corner they cancel: no normal. Opened
// into a wedge, their unit normals sum to the wedge's outward direction, away from
// the far corners.
TEST(LimitStencilsTest, WithoutTangentsTheFacetsDecide) {
    LimitStencils stencils;
    Ring ring;
    ring.neighbours = {{1, 0, 0}, {0, 1, 0}};
    ring.diagonals = {{1, 1, 0.5}, {1, 1, 0.5}};
    const Vector3 folded = stencils.limitNormal(ring, VertexRule::kSmooth);
    EXPECT_EQ(folded.x * folded.x + folded.y * folded.y + folded.z * folded.z, 0.0);
    ring.diagonals = {{1, 1, 0.5}, {1, 1, -0.5}};
    const Vector3 wedge = stencils.limitNormal(ring, VertexRule::kSmooth);
    EXPECT_NEAR(wedge.x, -1 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(wedge.y, -1 / std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(wedge.z, 0.0, 1e-12);
}

}  // namespace
