#include "support/ReferenceComparison.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <sstream>

#include "support/ObjFile.h"

namespace test {

namespace {

struct Corner {
    std::array<double, 3> p{};
    std::array<double, 2> uv{};
    std::array<double, 3> n{};
};
using Facet = std::array<Corner, 4>;

struct Facets {
    std::vector<Facet> facets;
    bool textured = false;
    bool withNormals = false;
};

Facets readFacets(const std::string& text, const std::string& name,
                  std::vector<std::string>& problems) {
    const ObjFile obj = parseObj(text);
    for (const std::string& problem : obj.problems) {
        problems.push_back(name + ": " + problem);
    }
    Facets result;
    result.textured = !obj.vt.empty();
    result.withNormals = !obj.vn.empty();
    for (const auto& f : obj.f) {
        if (f.size() != 4) {
            continue;  // already a problem
        }
        Facet facet;
        bool inRange = true;
        for (int i = 0; i < 4; ++i) {
            const long p = f[i].p, t = f[i].t, n = f[i].n;
            inRange = inRange && p >= 1 && p <= static_cast<long>(obj.v.size()) && t >= 0 &&
                      t <= static_cast<long>(obj.vt.size()) && n >= 0 &&
                      n <= static_cast<long>(obj.vn.size());
            if (inRange) {
                facet[i].p = obj.v[p - 1];
                if (t > 0) {
                    facet[i].uv = obj.vt[t - 1];
                }
                if (n > 0) {
                    facet[i].n = obj.vn[n - 1];
                }
            }
        }
        if (inRange) {
            result.facets.push_back(facet);
        }
    }
    return result;
}

template <std::size_t N>
double distance(const std::array<double, N>& a, const std::array<double, N>& b) {
    double sum = 0.0;
    for (std::size_t i = 0; i < N; ++i) {
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    }
    return std::sqrt(sum);
}

// Half a unit in the sixth significant digit of x: how far x may lie from the value
// it was rounded from.
double sixDigitRounding(double x) {
    return x == 0.0 ? 0.0 : 0.5 * std::pow(10.0, std::floor(std::log10(std::abs(x))) - 5.0);
}

// The distance between a (rounded to six digits when `sixDigits`) and b, each
// coordinate's difference less a's rounding.
template <std::size_t N>
double distanceBeyondRounding(const std::array<double, N>& a, const std::array<double, N>& b,
                              bool sixDigits) {
    double sum = 0.0;
    for (std::size_t i = 0; i < N; ++i) {
        const double d =
            std::max(0.0, std::abs(a[i] - b[i]) - (sixDigits ? sixDigitRounding(a[i]) : 0.0));
        sum += d * d;
    }
    return std::sqrt(sum);
}

// Diagonal of the bounding box of one kind of corner value; 1 when it is empty or
// a single point, so deviations stay absolute rather than dividing by zero.
template <std::size_t N>
double boxDiagonal(const std::vector<Facet>& facets, std::array<double, N> Corner::*member) {
    std::array<double, N> lo, hi;
    lo.fill(std::numeric_limits<double>::max());
    hi.fill(std::numeric_limits<double>::lowest());
    for (const Facet& facet : facets) {
        for (const Corner& c : facet) {
            for (std::size_t i = 0; i < N; ++i) {
                lo[i] = std::min(lo[i], (c.*member)[i]);
                hi[i] = std::max(hi[i], (c.*member)[i]);
            }
        }
    }
    const double d = facets.empty() ? 0.0 : distance(lo, hi);
    return d > 0.0 ? d : 1.0;
}

// The angle between two normals; a half turn when only one of them is zero.
double angle(const std::array<double, 3>& a, const std::array<double, 3>& b) {
    const std::array<double, 3> c{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                                  a[0] * b[1] - a[1] * b[0]};
    const std::array<double, 3> zero{};
    const bool noA = a == zero, noB = b == zero;
    if (noA || noB) {
        return noA && noB ? 0.0 : std::acos(-1.0);
    }
    return std::atan2(distance(c, zero), a[0] * b[0] + a[1] * b[1] + a[2] * b[2]);
}

using Cell = std::array<long long, 3>;

Cell cellOf(const Facet& facet, double cellSize) {
    Cell cell;
    for (int i = 0; i < 3; ++i) {
        double sum = 0.0;
        for (const Corner& c : facet) {
            sum += c.p[i];
        }
        cell[i] = static_cast<long long>(std::floor(sum / 4.0 / cellSize));
    }
    return cell;
}

struct Pairing {
    double position = std::numeric_limits<double>::max();
    double uv = std::numeric_limits<double>::max();
    double normal = 0.0;
};

// The deviations of the best cyclic alignment of two facets' corners.
Pairing align(const Facet& a, const Facet& b, double positionScale, double uvScale,
              bool sixDigits) {
    Pairing best;
    double bestScore = std::numeric_limits<double>::max();
    for (int shift = 0; shift < 4; ++shift) {
        Pairing p{0.0, 0.0, 0.0};
        for (int i = 0; i < 4; ++i) {
            p.position = std::max(p.position,
                                  distanceBeyondRounding(a[i].p, b[(i + shift) % 4].p, sixDigits));
            p.uv = std::max(p.uv, distanceBeyondRounding(a[i].uv, b[(i + shift) % 4].uv, sixDigits));
            p.normal = std::max(p.normal, angle(a[i].n, b[(i + shift) % 4].n));
        }
        const double score = p.position / positionScale + p.uv / uvScale;
        if (score < bestScore) {
            bestScore = score;
            best = p;
        }
    }
    return best;
}

}  // namespace

std::string ReferenceComparison::summary() const {
    std::ostringstream text;
    text << facets << " facets against " << referenceFacets << " in the reference, " << unmatched
         << " unmatched, position deviation " << positionDeviation << ", uv deviation "
         << uvDeviation << ", normal deviation " << normalDeviation;
    for (const std::string& problem : problems) {
        text << "; " << problem;
    }
    return text.str();
}

ReferenceComparison compareWithReference(const std::string& objText,
                                         const std::string& referenceText, bool sixDigits) {
    ReferenceComparison result;
    const Facets ours = readFacets(objText, "file", result.problems);
    const Facets reference = readFacets(referenceText, "reference", result.problems);
    if (ours.textured != reference.textured) {
        result.problems.push_back(ours.textured ? "the reference has no texture coordinates"
                                                : "the file has no texture coordinates");
    }
    if (ours.withNormals != reference.withNormals) {
        result.problems.push_back(ours.withNormals ? "the reference has no normals"
                                                   : "the file has no normals");
    }
    result.facets = ours.facets.size();
    result.referenceFacets = reference.facets.size();

    const double positionScale = boxDiagonal(reference.facets, &Corner::p);
    const double uvScale = boxDiagonal(reference.facets, &Corner::uv);
    // Paired facets lie within this of each other; a facet further off counts as
    // unmatched rather than as a deviation, as it is most likely a different facet.
    const double pairingReach = 1e-3 * positionScale;

    std::map<Cell, std::vector<std::size_t>> referenceByCell;
    for (std::size_t i = 0; i < reference.facets.size(); ++i) {
        referenceByCell[cellOf(reference.facets[i], pairingReach)].push_back(i);
    }
    std::vector<bool> taken(reference.facets.size(), false);
    std::size_t paired = 0;
    for (const Facet& facet : ours.facets) {
        // Centroids within reach may fall in a neighbouring cell.
        const Cell home = cellOf(facet, pairingReach);
        std::size_t bestIndex = reference.facets.size();
        Pairing best;
        double bestScore = std::numeric_limits<double>::max();
        for (long long dx = -1; dx <= 1; ++dx) {
            for (long long dy = -1; dy <= 1; ++dy) {
                for (long long dz = -1; dz <= 1; ++dz) {
                    const auto found =
                        referenceByCell.find({home[0] + dx, home[1] + dy, home[2] + dz});
                    if (found == referenceByCell.end()) {
                        continue;
                    }
                    for (std::size_t candidate : found->second) {
                        if (taken[candidate]) {
                            continue;
                        }
                        const Pairing p =
                            align(facet, reference.facets[candidate], positionScale, uvScale,
                                  sixDigits);
                        const double score = p.position / positionScale + p.uv / uvScale;
                        if (p.position <= pairingReach && score < bestScore) {
                            bestScore = score;
                            best = p;
                            bestIndex = candidate;
                        }
                    }
                }
            }
        }
        if (bestIndex == reference.facets.size()) {
            continue;
        }
        taken[bestIndex] = true;
        ++paired;
        result.positionDeviation =
            std::max(result.positionDeviation, best.position / positionScale);
        result.uvDeviation = std::max(result.uvDeviation, best.uv / uvScale);
        if (ours.withNormals && reference.withNormals) {
            result.normalDeviation = std::max(result.normalDeviation, best.normal);
        }
    }
    result.unmatched = result.facets + result.referenceFacets - 2 * paired;
    return result;
}

}  // namespace test
