// The smoothing options: where they may stand, how bad ones are refused, what the
// defaults keep, and that keeping island borders keeps the texture inside them.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

namespace {

using Polygon = std::vector<std::array<double, 2>>;

// True when `point` lies inside `polygon` or on its border (up to `slack`).
bool covers(const Polygon& polygon, const std::array<double, 2>& point, double slack) {
    bool inside = false;
    for (std::size_t i = 0, j = polygon.size() - 1; i < polygon.size(); j = i++) {
        const auto& a = polygon[i];
        const auto& b = polygon[j];
        // On the border: the distance to segment ab is within the slack.
        const double dx = b[0] - a[0], dy = b[1] - a[1];
        const double length2 = dx * dx + dy * dy;
        double t = length2 > 0 ? ((point[0] - a[0]) * dx + (point[1] - a[1]) * dy) / length2 : 0;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        const double ex = a[0] + t * dx - point[0], ey = a[1] + t * dy - point[1];
        if (ex * ex + ey * ey <= slack * slack) {
            return true;
        }
        if ((a[1] > point[1]) != (b[1] > point[1]) &&
            point[0] < (b[0] - a[0]) * (point[1] - a[1]) / (b[1] - a[1]) + a[0]) {
            inside = !inside;
        }
    }
    return inside;
}

test::ObjFile refine(const std::vector<std::string>& args, const std::string& output) {
    const test::RunResult r = test::runTool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return test::parseObj(test::readFile(output));
}

TEST(SmoothingOptionsTest, OptionsStandAnywhereAndDefaultsKeepTheBytes) {
    test::TempDir dir;
    const std::string input = test::dataFile("cube_cross_layout.obj");
    const std::string plain = dir.file("plain.obj"), out = dir.file("out.obj");
    ASSERT_EQ(test::runTool({"2", input, plain}).status, 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--uv-smooth=all", "2", input, out},
          std::vector<std::string>{"2", input, out, "--boundary-smooth", "all"},
          std::vector<std::string>{"2", "--uv-smooth", "all", input, "--boundary-smooth=all", out},
          std::vector<std::string>{"--uv-smooth=all", "--", "2", input, out}}) {
        const test::RunResult r = test::runTool(args);
        EXPECT_EQ(r.status, 0) << args[0] << r.err;
        EXPECT_EQ(test::readFile(out), test::readFile(plain)) << args[0];
    }
    // A mode that changes the texture, given in both forms, gives the same file.
    ASSERT_EQ(test::runTool({"2", input, plain, "--uv-smooth=none"}).status, 0);
    ASSERT_EQ(test::runTool({"--uv-smooth", "none", "2", input, out}).status, 0);
    EXPECT_EQ(test::readFile(out), test::readFile(plain));
}

TEST(SmoothingOptionsTest, UnknownOptionsAndModesAreRefusedBeforeAnyWork) {
    struct Case {
        std::vector<std::string> options;
        std::string message;
    };
    const std::string uvModes =
        "none, keep-corners, keep-corners-junctions, keep-corners-junctions-concave, "
        "keep-boundaries, all";
    const std::vector<Case> cases = {
        {{"--uv-smooth=sharp"},
         "ERROR : Unknown value [sharp] for [--uv-smooth]: use one of " + uvModes},
        {{"--boundary-smooth=none"},
         "ERROR : Unknown value [none] for [--boundary-smooth]: use one of all, keep-corners"},
        {{"--uv-smooth=ALL"},
         "ERROR : Unknown value [ALL] for [--uv-smooth]: use one of " + uvModes},
        {{"--smooth=all"},
         "ERROR : Unknown option [--smooth]: the options are --uv-smooth=MODE, "
         "--boundary-smooth=MODE, --scheme=TYPE, --limit-surface and --normals (see --help)"},
    };
    test::TempDir dir;
    const std::string out = dir.file("out.obj");
    test::writeFile(out, "kept");
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"2", test::dataFile("cube_cross_layout.obj"), out});
        const test::RunResult r = test::runTool(args);
        EXPECT_EQ(r.status, 1) << c.options[0];
        EXPECT_EQ(r.out, "") << c.options[0];
        EXPECT_EQ(r.err, c.message + "\n");
        EXPECT_EQ(test::readFile(out), "kept");
    }
    // A mode option last, with its value missing.
    const test::RunResult missing =
        test::runTool({"2", test::dataFile("cube_cross_layout.obj"), out, "--uv-smooth"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "ERROR : Option [--uv-smooth] needs a value: one of " + uvModes + "\n");
    EXPECT_EQ(test::readFile(out), "kept");
}

// Painted inside the cross and another colour outside: with the island borders kept,
// no refined facet may take its texture from outside the painted islands. Smoothing
// everything pulls the cross's corners in and pushes its concave corners out.
TEST(SmoothingOptionsTest, KeepBoundariesSamplesNothingOutsideTheIslands) {
    const test::ObjFile input =
        test::parseObj(test::readFile(test::dataFile("cube_cross_layout.obj")));
    std::vector<Polygon> islands;
    for (const auto& face : input.f) {
        Polygon polygon;
        for (const auto& corner : face) {
            polygon.push_back(input.vt[corner.t - 1]);
        }
        islands.push_back(polygon);
    }
    const auto outside = [&](const test::ObjFile& refined) {
        std::size_t count = 0;
        for (const auto& facet : refined.f) {
            std::array<double, 2> centre{0, 0};
            for (const auto& corner : facet) {
                centre[0] += refined.vt[corner.t - 1][0] / facet.size();
                centre[1] += refined.vt[corner.t - 1][1] / facet.size();
            }
            bool covered = false;
            for (const Polygon& island : islands) {
                covered = covered || covers(island, centre, 1e-6);
            }
            count += !covered;
        }
        return count;
    };
    test::TempDir dir;
    const std::string input_ = test::dataFile("cube_cross_layout.obj"), out = dir.file("out.obj");
    const test::ObjFile kept = refine({"--uv-smooth=keep-boundaries", "4", input_, out}, out);
    ASSERT_EQ(kept.f.size(), 6u * 256u);
    ASSERT_EQ(kept.vt.empty(), false);
    EXPECT_EQ(outside(kept), 0u);
    // Every corner uv stays inside too: the borders are the input's polylines.
    for (const auto& uv : kept.vt) {
        bool covered = false;
        for (const Polygon& island : islands) {
            covered = covered || covers(island, uv, 1e-6);
        }
        EXPECT_TRUE(covered) << uv[0] << " " << uv[1];
    }
    const test::ObjFile smoothed = refine({"4", input_, out}, out);
    ASSERT_EQ(smoothed.vt.empty(), false);
    EXPECT_GT(outside(smoothed), 0u);
}

}  // namespace
