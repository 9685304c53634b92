// Texture seams on a lifted 4 x 4 quad grid, against the reference in every texture
// mode: what is kept at a corner of an island (and beside it) must follow the texture
// layout's topology, however the islands are drawn in uv space. Seams that bend the
// islands' borders in uv (uneven spacing, jitter) are where deciding by uv angles
// went wrong; seams that end inside the grid leave a vertex with one island all round.

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "support/ReferenceComparison.h"
#include "support/TestSupport.h"

namespace {

constexpr int kCells = 4;
using GridVertex = std::pair<int, int>;  // (column, row), 0 to kCells

// The texture islands of the grid's faces: the seam runs between faces of different
// islands.
struct Seam {
    const char* name;
    const char* islands;  // the faces' islands, a row of kCells digits each, bottom row first
};

const Seam kSeams[] = {
    {"column", "0011 0011 0011 0011"},
    {"l_turn", "0011 0011 0000 0000"},
    {"zigzag", "0011 0001 0011 0011"},
    {"loop", "0000 0110 0110 0000"},
    // Cut from the left border to (2, 2), ending inside the grid: one island all round
    // the end, cut on one side (see gridObj).
    {"dart", "0000 0000 0000 0000"},
    // Lone faces cut out of the corner of an island: three islands meet at (1, 1).
    {"notch", "0122 2222 2222 2222"},
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
// island, a texture vertex per island and grid vertex. The dart cuts only its edges:
// the faces below it take texture vertices of their own along it, except at its end.
std::string gridObj(const Seam& seam, Spacing spacing) {
    std::ostringstream obj, faces;
    for (int j = 0; j <= kCells; ++j) {
        for (int i = 0; i <= kCells; ++i) {
            const bool inside = i > 0 && i < kCells && j > 0 && j < kCells;
            obj << "v " << i << " " << j << " " << (inside ? 0.3 + 0.09 * i - 0.06 * j : 0.0)
                << "\n";
        }
    }
    std::map<std::pair<int, GridVertex>, int> uvIndex;
    for (int j = 0; j < kCells; ++j) {
        for (int i = 0; i < kCells; ++i) {
            const int island = seam.islands[j * (kCells + 1) + i] - '0';
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
                SCOPED_TRACE(testing::PrintToString(args));
                test::expectAgreement(test::compareRuns(args, input));
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
