#include "LimitStencils.h"

#include <cmath>

namespace faceloom {

namespace {

constexpr double kPi = 3.14159265358979323846;

Vector3 operator+(const Vector3& a, const Vector3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

Vector3 operator*(double s, const Vector3& a) {
    return {s * a.x, s * a.y, s * a.z};
}

Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double length(const Vector3& a) {
    return std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
}

Vector3 normalised(const Vector3& a) {
    const double l = length(a);
    return l > 0.0 && std::isfinite(l) ? (1.0 / l) * a : Vector3{};
}

// sum_i w[i] p[i].
Vector3 weighted(const std::vector<double>& w, const std::vector<Vector3>& p) {
    Vector3 sum;
    for (std::size_t i = 0; i < p.size(); ++i) {
        sum = sum + w[i] * p[i];
    }
    return sum;
}

// The largest distance from the centre to a point of the ring.
double ringSize(const Ring& ring) {
    double size2 = 0.0;
    for (const auto* points : {&ring.neighbours, &ring.diagonals}) {
        for (const Vector3& p : *points) {
            size2 = std::max(size2, p.x * p.x + p.y * p.y + p.z * p.z);
        }
    }
    return std::sqrt(size2);
}

}  // namespace

Vector3 LimitStencils::limitPoint(const Ring& ring, VertexRule rule) const {
    if (rule != VertexRule::kSmooth || ring.neighbours.empty()) {
        return ring.centre;
    }
    if (ring.border) {
        // The border curve is a cubic B-spline: (N0 + 4 u + Nk) / 6.
        return ring.centre + (1.0 / 6.0) * (ring.neighbours.front() + ring.neighbours.back());
    }
    // (n^2 u + 4 sum N + sum D) / (n (n + 5)), with the ring relative to u.
    Vector3 sum;
    for (std::size_t i = 0; i < ring.neighbours.size(); ++i) {
        sum = sum + 4.0 * ring.neighbours[i] + ring.diagonals[i];
    }
    const double n = static_cast<double>(ring.neighbours.size());
    return ring.centre + (1.0 / (n * (n + 5.0))) * sum;
}

const LimitStencils::Weights& LimitStencils::insideWeights(std::size_t n, int tangent) {
    std::vector<Weights>& table = inside_[tangent];
    if (table.size() <= n) {
        table.resize(n + 1);
    }
    Weights& w = table[n];
    if (w.neighbour.empty()) {
        const double step = 2.0 * kPi / static_cast<double>(n);
        const double a =
            1.0 + std::cos(step) + std::cos(step / 2.0) * std::sqrt(2.0 * (9.0 + std::cos(step)));
        const auto wave = [&](std::size_t i) {
            return tangent == 0 ? std::cos(step * static_cast<double>(i))
                                : std::sin(step * static_cast<double>(i));
        };
        for (std::size_t i = 0; i < n; ++i) {
            w.neighbour.push_back(a * wave(i));
            w.diagonal.push_back(wave(i) + wave(i + 1));
        }
    }
    return w;
}

const LimitStencils::Weights& LimitStencils::borderWeights(std::size_t k) {
    if (border_.size() <= k) {
        border_.resize(k + 1);
    }
    Weights& w = border_[k];
    if (w.neighbour.empty()) {
        const double theta = kPi / static_cast<double>(k);
        const auto s = [&](std::size_t i) { return std::sin(theta * static_cast<double>(i)); };
        double inner = 0.0;  // sum of sin(i theta) over the inner neighbours
        w.neighbour.push_back(0.0);
        for (std::size_t i = 1; i < k; ++i) {
            w.neighbour.push_back(4.0 * s(i));
            inner += s(i);
        }
        w.neighbour.push_back(0.0);
        // The centre's weight -4 sin(theta) is implied by the ring being relative to
        // it; the border neighbours share what makes all weights sum to zero.
        w.neighbour.front() = w.neighbour.back() = 2.0 * s(1) - 3.0 * inner;
        for (std::size_t i = 0; i < k; ++i) {
            w.diagonal.push_back(s(i) + s(i + 1));
        }
    }
    return w;
}

// The two limit tangents of a smooth vertex, their cross product pointing out of the
// facets' front; false when the ring has no such pair (a vertex of two faces inside,
// a lone vertex).
bool LimitStencils::tangents(const Ring& ring, Vector3& first, Vector3& second) {
    const std::size_t n = ring.neighbours.size();
    if (!ring.border) {
        if (n < 3) {
            return false;  // two faces: the masks vanish
        }
        const Weights& c = insideWeights(n, 0);
        const Weights& s = insideWeights(n, 1);
        first = weighted(c.neighbour, ring.neighbours) + weighted(c.diagonal, ring.diagonals);
        second = weighted(s.neighbour, ring.neighbours) + weighted(s.diagonal, ring.diagonals);
        return true;
    }
    if (ring.faces() == 1) {
        first = ring.neighbours.front();
        second = ring.neighbours.back();
        return true;
    }
    if (ring.faces() == 0) {
        return false;
    }
    const Weights& across = borderWeights(ring.faces());
    first = ring.neighbours.front() - ring.neighbours.back();
    second = weighted(across.neighbour, ring.neighbours) +
             weighted(across.diagonal, ring.diagonals);
    return true;
}

Vector3 LimitStencils::limitNormal(const Ring& ring, VertexRule rule) {
    if (rule == VertexRule::kIsolated) {
        return Vector3{};
    }
    Vector3 first, second;
    // A pinned corner of one face keeps its two edges as tangents (the border curves
    // leave it along them); other pinned vertices have no tangent plane of their own.
    const bool pinnedCorner = ring.border && ring.faces() == 1;
    if ((rule == VertexRule::kSmooth || pinnedCorner) && tangents(ring, first, second)) {
        const Vector3 normal = cross(first, second);
        // Degenerate: tangents that vanish against the ring's size, or are parallel.
        const double size = ringSize(ring);
        const double l1 = length(first), l2 = length(second), ln = length(normal);
        if (l1 > 1e-12 * size && l2 > 1e-12 * size && ln > 1e-10 * l1 * l2 &&
            std::isfinite(ln)) {
            return (1.0 / ln) * normal;
        }
    }
    return facetNormal(ring);
}

Vector3 facetNormal(const Ring& ring) {
    Vector3 sum;
    const std::size_t n = ring.neighbours.size();
    for (std::size_t i = 0; i < ring.faces(); ++i) {
        // The quadrilateral (u, N[i], D[i], N[i + 1]): its diagonals' cross product.
        const Vector3& next = ring.neighbours[(i + 1) % n];
        sum = sum + normalised(cross(ring.diagonals[i], next - ring.neighbours[i]));
    }
    return normalised(sum);
}

}  // namespace faceloom
