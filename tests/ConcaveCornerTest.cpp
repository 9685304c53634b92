// Texture seams on a lifted 4 x 4 quad grid, against the reference in every texture
// mode: what is kept at a corner of an island (and beside it) must follow the texture
// layout's topology, however the islands are drawn in uv space. Seams that bend the
// islands' borders in uv (uneven spacing, jitter) are where deciding by uv angles
// went wrong; seams that end inside the grid leave a vertex with one island all round.

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/ReferenceComparison.h"
#include "support/TestSupport.h"

namespace {

constexpr int kCells = 4;
using GridVertex = std::pair<int, int>;  // (column, row), 0 to kCells
using GridEdge = std::pair<GridVertex, GridVertex>;

// The seam: grid edges along which the texture is cut.
struct Seam {
    const char* name;
    std::vector<GridEdge> edges;
};

std::vector<GridEdge> path(const std::vector<GridVertex>& vertices) {
    std::vector<GridEdge> edges;
    for (std::size_t i = 0; i + 1 < vertices.size(); ++i) {
        edges.emplace_back(vertices[i], vertices[i + 1]);
    }
    return edges;
}

const Seam kSeams[] = {
    {"column", path({{2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4}})},
    {"l_turn", path({{2, 0}, {2, 1}, {2, 2}, {3, 2}, {4, 2}})},
    {"zigzag", path({{2, 0}, {2, 1}, {3, 1}, {3, 2}, {2, 2}, {2, 3}, {2, 4}})},
    {"loop", path({{1, 1}, {2, 1}, {3, 1}, {3, 2}, {3, 3}, {2, 3}, {1, 3}, {1, 2}, {1, 1}})},
    // Ends inside the grid: one island all round the end, cut on one side.
    {"dart", path({{0, 2}, {1, 2}, {2, 2}})},
    // A lone face cut out of the corner of an island: three islands meet at (1, 1).
    {"notch", path({{1, 0}, {1, 1}, {0, 1}, {1, 1}, {2, 1}, {2, 0}})},
};

// Where a grid vertex lies in uv: its island's square, drawn three ways.
enum class Spacing { kEven, kUneven, kJittered };

const char* spacingName(Spacing s) {
    return s == Spacing::kEven ? "even" : s == Spacing::kUneven ? "uneven" : "jittered";
}

std::array<double, 2> uvOf(int island, GridVertex v, Spacing spacing) {
    static const double kUnevenRows[] = {0.0, 0.15, 0.45, 0.7, 1.0};
    static const double kSeamShift[] = {0.0, 0.06, -0.05, 0.07, 0.0};
    const auto [i, j] = v;
    double u = i / 4.0 + 1.2 * island, w = j / 4.0;
    if (spacing != Spacing::kEven && island % 2 == 1) {
        w = kUnevenRows[j];  // the two sides of a seam spaced differently
    }
    if (spacing == Spacing::kJittered) {
        u += i == 2 ? kSeamShift[j] : 0.03 * ((i * 7 + j * 3) % 5 - 2);
    }
    return {u, w};
}

// The grid as OBJ: interior vertices lifted unevenly, each face textured from its
// island, islands the faces connected across uncut edges. A seam that ends inside an
// island (the dart) cuts only its edges: the faces on its two sides take their own
// texture vertices along it, except at its end.
std::string gridObj(const Seam& seam, Spacing spacing) {
    std::set<std::pair<GridVertex, GridVertex>> cut;
    for (const auto& [a, b] : seam.edges) {
        cut.insert({a, b});
        cut.insert({b, a});
    }
    std::ostringstream obj;
    for (int j = 0; j <= kCells; ++j) {
        for (int i = 0; i <= kCells; ++i) {
            const bool inside = i > 0 && i < kCells && j > 0 && j < kCells;
            obj << "v " << i << " " << j << " " << (inside ? 0.3 + 0.09 * i - 0.06 * j : 0.0)
                << "\n";
        }
    }
    // Faces numbered row by row; a face's side of each cut edge is a "side" of its
    // own, joined with its neighbour's across every uncut edge.
    std::vector<int> side(kCells * kCells);
    for (int f = 0; f < kCells * kCells; ++f) {
        side[f] = f;
    }
    const auto find = [&](int f) {
        while (side[f] != f) {
            f = side[f];
        }
        return f;
    };
    for (int f = 0; f < kCells * kCells; ++f) {
        const int i = f % kCells, j = f / kCells;
        if (i + 1 < kCells && !cut.count({{i + 1, j}, {i + 1, j + 1}})) {
            side[find(f + 1)] = find(f);
        }
        if (j + 1 < kCells && !cut.count({{i, j + 1}, {i + 1, j + 1}})) {
            side[find(f + kCells)] = find(f);
        }
    }
    // Islands numbered in order of their first face. A texture vertex per (island,
    // grid vertex); the dart's faces below its cut take vertices of their own along it.
    std::map<int, int> islands;
    std::map<std::pair<int, GridVertex>, int> uvIndex;
    std::ostringstream faces;
    for (int f = 0; f < kCells * kCells; ++f) {
        const int i = f % kCells, j = f / kCells;
        const int island = islands.emplace(find(f), int(islands.size())).first->second;
        faces << "f";
        for (const GridVertex& c : {GridVertex{i, j}, {i + 1, j}, {i + 1, j + 1}, {i, j + 1}}) {
            const bool below = std::string(seam.name) == "dart" && j < 2 && c.second == 2 &&
                               c.first < 2;
            const int key = below ? -1 - island : island;
            auto [it, added] = uvIndex.emplace(std::make_pair(key, c), int(uvIndex.size()) + 1);
            if (added) {
                const auto uv = uvOf(island, c, spacing);
                obj << "vt " << uv[0] << " " << uv[1] - (below ? 0.02 : 0.0) << "\n";
            }
            faces << " " << (c.second * (kCells + 1) + c.first + 1) << "/" << it->second;
        }
        faces << "\n";
    }
    return obj.str() + faces.str();
}

const char* const kUvModes[] = {"none",
                                "keep-corners",
                                "keep-corners-junctions",
                                "keep-corners-junctions-concave",
                                "keep-boundaries",
                                "all"};

void PrintTo(const Seam& seam, std::ostream* os) {
    *os << seam.name;
}

void PrintTo(Spacing spacing, std::ostream* os) {
    *os << spacingName(spacing);
}

using Case = std::tuple<Seam, Spacing>;
class SeamedGrid : public testing::TestWithParam<Case> {};

TEST_P(SeamedGrid, AgreesWithReferenceInEveryMode) {
    const auto& [seam, spacing] = GetParam();
    const test::TempDir dir;
    const std::string input = dir.file("grid.obj");
    test::writeFile(input, gridObj(seam, spacing));
    for (const char* uv : kUvModes) {
        for (const char* boundary : {"all", "keep-corners"}) {
            for (const std::vector<std::string>& extra :
                 {std::vector<std::string>{"2"}, std::vector<std::string>{"--limit-surface", "1"}}) {
                std::vector<std::string> args{std::string("--uv-smooth=") + uv,
                                              std::string("--boundary-smooth=") + boundary};
                args.insert(args.end(), extra.begin(), extra.end());
                args.push_back(input);
                SCOPED_TRACE(testing::PrintToString(args));
                std::vector<std::string> ours = args, reference = args;
                ours.insert(ours.begin(), test::toolPath());
                ours.push_back(dir.file("ours.obj"));
                reference.insert(reference.begin(), FACELOOM_OSD_REFERENCE);
                reference.push_back(dir.file("reference.obj"));
                ASSERT_EQ(test::runProgram(ours).status, 0);
                ASSERT_EQ(test::runProgram(reference).status, 0);
                const test::ReferenceComparison c = test::compareWithReference(
                    test::readFile(dir.file("ours.obj")), test::readFile(dir.file("reference.obj")));
                EXPECT_TRUE(c.problems.empty() && c.unmatched == 0) << c.summary();
                EXPECT_LE(c.uvDeviation, 1e-5) << c.summary();
                EXPECT_LE(c.positionDeviation, 1e-5) << c.summary();
            }
        }
    }
}

std::string caseName(const testing::TestParamInfo<Case>& info) {
    return std::string(std::get<0>(info.param).name) + "_" + spacingName(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Seams, SeamedGrid,
                         testing::Combine(testing::ValuesIn(kSeams),
                                          testing::Values(Spacing::kEven, Spacing::kUneven,
                                                          Spacing::kJittered)),
                         caseName);

}  // namespace
