#include "support/ReferenceComparison.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "support/ObjFile.h"
#include "support/TestSupport.h"

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
    Facets result{{}, !obj.vt.empty(), !obj.vn.empty()};
    if (!obj.wellFormed()) {
        return result;  // indices may be out of range
    }
    for (const auto& f : obj.f) {
        Facet facet;
        for (int i = 0; i < 4; ++i) {
            facet[i].p = obj.v[f[i].p - 1];
            if (f[i].t > 0) {
                facet[i].uv = obj.vt[f[i].t - 1];
            }
            if (f[i].n > 0) {
                facet[i].n = obj.vn[f[i].n - 1];
            }
        }
        result.facets.push_back(facet);
    }
    return result;
}

// Half a unit in the sixth significant digit of x: how far x may lie from the value
// it was rounded from.
double sixDigitRounding(double x) {
    return x == 0.0 ? 0.0 : 0.5 * std::pow(10.0, std::floor(std::log10(std::abs(x))) - 5.0);
}

// The distance between a and b; with `sixDigits`, a was rounded to six digits and each
// coordinate's difference is taken less that rounding.
template <std::size_t N>
double distance(const std::array<double, N>& a, const std::array<double, N>& b,
                bool sixDigits = false) {
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
    double uv = 0.0;
    double normal = 0.0;
    double score = std::numeric_limits<double>::max();  // both deviations over their scales
};

// The deviations of the best cyclic alignment of two facets' corners.
Pairing align(const Facet& a, const Facet& b, double positionScale, double uvScale,
              bool sixDigits) {
    Pairing best;
    for (int shift = 0; shift < 4; ++shift) {
        Pairing p{0.0, 0.0, 0.0, 0.0};
        for (int i = 0; i < 4; ++i) {
            const Corner& c = b[(i + shift) % 4];
            p.position = std::max(p.position, distance(a[i].p, c.p, sixDigits));
            p.uv = std::max(p.uv, distance(a[i].uv, c.uv, sixDigits));
            p.normal = std::max(p.normal, angle(a[i].n, c.n));
        }
        p.score = p.position / positionScale + p.uv / uvScale;
        best = p.score < best.score ? p : best;
    }
    return best;
}

// Both files have texture coordinates, or neither; the same for normals.
void sameChannels(const Facets& ours, const Facets& reference,
                  std::vector<std::string>& problems) {
    if (ours.textured != reference.textured) {
        problems.push_back(ours.textured ? "the reference has no texture coordinates"
                                         : "the file has no texture coordinates");
    }
    if (ours.withNormals != reference.withNormals) {
        problems.push_back(ours.withNormals ? "the reference has no normals"
                                            : "the file has no normals");
    }
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
    sameChannels(ours, reference, result.problems);
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
        static const std::vector<std::size_t> none;
        for (long long d = 0; d < 27; ++d) {
            const auto found = referenceByCell.find(
                {home[0] + d % 3 - 1, home[1] + d / 3 % 3 - 1, home[2] + d / 9 - 1});
            for (std::size_t candidate : found == referenceByCell.end() ? none : found->second) {
                const Pairing p = align(facet, reference.facets[candidate], positionScale,
                                        uvScale, sixDigits);
                if (!taken[candidate] && p.position <= pairingReach && p.score < best.score) {
                    best = p;
                    bestIndex = candidate;
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

void expectAgreement(const ReferenceComparison& c, double tolerance) {
    EXPECT_TRUE(c.problems.empty() && c.unmatched == 0 && c.facets == c.referenceFacets)
        << c.summary();
    EXPECT_LE(std::max(c.positionDeviation, c.uvDeviation), tolerance) << c.summary();
    EXPECT_LE(c.normalDeviation, 1e-4) << c.summary();
}

#ifdef FACELOOM_OSD_REFERENCE
ReferenceComparison compareRuns(const std::vector<std::string>& args, const std::string& input,
                                const std::string& referenceInput, bool sixDigits) {
    const TempDir dir;
    std::vector<std::string> ours{toolPath()}, reference{FACELOOM_OSD_REFERENCE};
    for (auto* argv : {&ours, &reference}) {
        argv->insert(argv->end(), args.begin(), args.end());
    }
    ours.insert(ours.end(), {input, dir.file("ours.obj")});
    reference.insert(reference.end(),
                     {referenceInput.empty() ? input : referenceInput, dir.file("reference.obj")});
    const RunResult run = runProgram(ours), referenceRun = runProgram(reference);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(referenceRun.status, 0) << referenceRun.err;
    if (run.status != 0 || referenceRun.status != 0) {
        ReferenceComparison failed;
        failed.problems.push_back("a run failed");
        return failed;
    }
    return compareWithReference(readFile(dir.file("ours.obj")),
                                readFile(dir.file("reference.obj")), sixDigits);
}
#endif

}  // namespace test
