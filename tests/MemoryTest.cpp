// The memory check: refused before any work when it doesn't fit, its estimate against
// what the tool really uses, and the reading of the system's limits.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "MemoryBudget.h"
#include "ObjLoader.h"
#include "RunMemory.h"
#include "support/TestSupport.h"

namespace {

using namespace faceloom;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;  // it reserves terabytes, and doubles what is used
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr std::uint64_t kMiB = 1 << 20;

// Runs Faceloom limited to `addressSpace` bytes of address space, rounded up to the
// whole KiB that ulimit takes.
test::RunResult runLimited(std::uint64_t addressSpace, const std::vector<std::string>& args) {
    return test::runToolAfter("ulimit -v " + std::to_string((addressSpace + 1023) >> 10), args);
}

// `count` triangles that share no vertex: the most edges, and so the most surface,
// per facet.
std::string separateTriangles(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const std::string x = std::to_string(i % 1000), y = std::to_string(i / 1000);
        text += "v " + x + " " + y + " 0\nv " + x + ".5 " + y + " 0\nv " + x + " " + y +
                ".5 0\nf -3 -2 -1\n";
    }
    return text;
}

// An n x n grid of quads without texture, with 150000 vertices no face names.
std::string gridWithUnused(int n) {
    std::string text = test::quadGrid(n, false);
    for (int k = 0; k < 150000; ++k) {
        text += "v 0 -1 -1\n";
    }
    return text;
}

// A closed torus of n x n quads whose texture is cut open along both directions.
std::string texturedTorus(int n) {
    std::string text;
    const double pi = std::acos(-1.0);
    const auto numbers = [](double x, double y) {
        return " " + std::to_string(x) + " " + std::to_string(y);
    };
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const double a = 2 * pi * i / n, b = 2 * pi * j / n, r = 3 + std::cos(b);
            if (i < n && j < n) {
                text += "v" + numbers(r * std::cos(a), r * std::sin(a)) + " " +
                        std::to_string(std::sin(b)) + "\n";
            }
            text += "vt" + numbers(double(i) / n, double(j) / n) + "\n";
        }
    }
    const auto corner = [n](int i, int j) {
        return " " + std::to_string((j % n) * n + (i % n) + 1) + "/" +
               std::to_string(j * (n + 1) + i + 1);
    };
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            text += "f" + corner(i, j) + corner(i + 1, j) + corner(i + 1, j + 1) +
                    corner(i, j + 1) + "\n";
        }
    }
    return text;
}

// The estimate is an upper bound of the real peak: at an address-space limit of the
// estimate the run finishes, and its peak resident memory stays below the estimate.
// It is no gross overstatement either, or jobs that fit would be refused.
TEST(MemoryTest, EstimateBoundsTheMeasuredPeak) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "AddressSanitizer changes what a run uses";
    }
    const auto plainGrid = [](int n) { return test::quadGrid(n, false); };
    const struct {
        const char* name;
        std::string (*make)(int);
        int size, steps;
    } shapes[] = {
        {"separate triangles", separateTriangles, 20000, 1},
        {"separate triangles", separateTriangles, 20000, 3},
        {"grid of quads", plainGrid, 128, 1},
        {"grid of quads", plainGrid, 128, 3},
        {"textured torus", texturedTorus, 128, 1},
        {"textured torus", texturedTorus, 64, 3},
        {"unused vertices", gridWithUnused, 40, 1},
        {"unused vertices", gridWithUnused, 40, 2},
    };
    test::TempDir dir;
    const std::string input = dir.file("input.obj");
    for (const auto& shape : shapes) {
        test::writeFile(input, shape.make(shape.size));
        const ObjMesh mesh = test::loadMesh(input);
        const RunMemory memory(mesh);
        // The address space each estimate allows is what makes the run choose that
        // way of refining the texture: at the one-at-a-time estimate the surfaces
        // can't both be there.
        for (const auto overlap : {SurfaceOverlap::kOneAtATime, SurfaceOverlap::kBothAtOnce}) {
            const bool both = overlap == SurfaceOverlap::kBothAtOnce;
            if (both && mesh.uvCount() == 0) {
                continue;  // nothing to refine beside the positions
            }
            SCOPED_TRACE(std::string(shape.name) + " " + std::to_string(shape.size) + ", " +
                         std::to_string(shape.steps) + " steps, " +
                         (both ? "both at once" : "one at a time"));
            const MemoryAmounts estimate = memory.estimate(shape.steps, overlap);
            const test::RunResult run = runLimited(
                estimate.addressSpace, {std::to_string(shape.steps), input, "/dev/null"});
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.err, "");
            EXPECT_LE(run.peakResident, estimate.resident);
            EXPECT_LE(double(estimate.resident), 1.6 * double(run.peakResident))
                << "measured " << (run.peakResident >> 20) << " MiB";
        }
    }
}

// A fake /proc and /sys: the process's cgroup line, memory.* files of cgroup
// directories (under sys/fs/cgroup), MemAvailable and what the process holds.
TEST(MemoryTest, CgroupLimitsAreHonoured) {
    struct Case {
        const char* name;
        const char* cgroupLine;
        std::vector<std::pair<std::string, std::string>> files;  // path, text
        std::uint64_t expected;
    };
    const std::uint64_t held = 2 * kMiB, free = 16 * 1024 * kMiB;
    const std::vector<Case> cases = {
        {"v2: limit less usage, plus what is held",
         "0::/job\n",
         {{"job/memory.max", "262144000"}, {"job/memory.current", "104857600"}},
         262144000 - 104857600 + held},
        {"v2: active and inactive file cache are free, dirty cache is not",
         "0::/job\n",
         {{"job/memory.max", "1000000000"},
          {"job/memory.current", "900000000"},
          {"job/memory.stat",
           "anon 100000000\nactive_file 600000000\ninactive_file 200000000\n"
           "file_dirty 50000000\nfile_writeback 10000000\n"}},
         1000000000 - (900000000 - 740000000) + held},
        {"v2: a tighter limit on a parent group binds",
         "0::/outer/job\n",
         {{"outer/memory.max", "300000000"},
          {"outer/memory.current", "200000000"},
          {"outer/job/memory.max", "max"},
          {"outer/job/memory.current", "150000000"}},
         100000000 + held},
        {"v2: no limit leaves MemAvailable",
         "0::/job\n",
         {{"job/memory.max", "max"}, {"job/memory.current", "150000000"}},
         free + held},
        {"v1: limit less usage, file cache free",
         "12:pids:/job\n4:memory:/job\n",
         {{"memory/job/memory.limit_in_bytes", "500000000"},
          {"memory/job/memory.usage_in_bytes", "450000000"},
          {"memory/job/memory.stat",
           "cache 400000000\ntotal_active_file 300000000\n"
           "total_inactive_file 100000000\ntotal_dirty 20000000\n"}},
         500000000 - (450000000 - 380000000) + held},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir root;
        std::filesystem::create_directories(root.file("proc/self"));
        test::writeFile(root.file("proc/meminfo"), "MemAvailable:   16777216 kB\n");
        test::writeFile(root.file("proc/self/status"), "VmRSS:\t    2048 kB\n");
        test::writeFile(root.file("proc/self/cgroup"), c.cgroupLine);
        for (const auto& [path, text] : c.files) {
            const std::filesystem::path file = root.file("sys/fs/cgroup/" + path);
            std::filesystem::create_directories(file.parent_path());
            test::writeFile(file.string(), text);
        }
        EXPECT_EQ(availableMemory(root.path()).resident, c.expected);
    }
    // Nothing readable: no limit.
    const test::TempDir empty;
    EXPECT_EQ(availableMemory(empty.path()).resident, kUnlimited);
}

// What doesn't fit is refused before any work, with what it needs and what there is.
// The input is measured before it is read: a file too large to load is refused from its
// size, and an endless input is read only as far as memory allows. A refinement says
// how many steps fit, and those do.
TEST(MemoryTest, WhatDoesntFitIsRefusedBeforeAnyWork) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "address space limits don't work under AddressSanitizer";
    }
    test::TempDir dir;
    const std::string large = dir.file("large.obj"), out = dir.file("out.obj");
    test::writeFile(large, std::string(20 * kMiB, '#'));
    const std::string read = "ERROR : Not enough memory to read [";
    const std::vector<std::pair<std::string, std::string>> inputs = {
        {large, read + large +
                    "]: loading its 20 MiB needs about 96 MiB, address space 64 MiB "
                    "is available\n"},
        {"/dev/zero", read + "/dev/zero]: it goes on past 12 MiB, and no more loads in the 64 "
                             "MiB of address space available\n"},
    };
    for (const auto& [input, err] : inputs) {
        const test::RunResult r = runLimited(64 * kMiB, {"1", input, out});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, err);
        EXPECT_FALSE(test::fileExists(out));
    }
    const std::string grid = dir.file("grid.obj");
    test::writeFile(grid, test::quadGrid(100));  // 10000 quads: 41 million facets at 6 steps
    const test::RunResult r = runLimited(600000 * 1024ull, {"6", grid, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");  // refused before any phase began
    const std::string refine = "ERROR : Not enough memory to refine [" + grid + "] by 6 steps: ";
    EXPECT_EQ(r.err.rfind(refine + "it needs about ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("is available; at most 4 steps fit\n"), std::string::npos) << r.err;
    EXPECT_FALSE(test::fileExists(out));
    EXPECT_EQ(runLimited(600000 * 1024ull, {"4", grid, out}).status, 0);
}

TEST(MemoryTest, MemoryRunningOutIsReportedCleanly) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "address space limits don't work under AddressSanitizer";
    }
    test::TempDir dir;
    const std::string input = dir.file("large.obj");
    // Small enough to pass the check before reading, but a face line of eight bytes
    // takes ten times that once parsed: parsing runs out all the same.
    std::string text;
    for (int i = 0; i < 1000000; ++i) {
        text += "f 1 2 3\n";
    }
    test::writeFile(input, text);
    const test::RunResult r = runLimited(60000 * 1024ull, {"1", input, dir.file("out.obj")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("std::bad_alloc\n", 0), 0u) << r.err;
}

// Both surfaces refine at once only when the estimate for that fits; one at a time
// still runs. The refusal's numbers are in the singular where they are one.
TEST(MemoryTest, EstimateDecidesHowTheRunGoes) {
    const ObjMesh grid = parseObj(test::quadGrid(10));
    const RunMemory memory(grid);
    const MemoryAmounts one = memory.estimate(5, SurfaceOverlap::kOneAtATime);
    const MemoryAmounts both = memory.estimate(5, SurfaceOverlap::kBothAtOnce);
    EXPECT_GT(both.resident, one.resident);
    EXPECT_GT(both.addressSpace, one.addressSpace);
    EXPECT_EQ(memory.overlap(5, both), SurfaceOverlap::kBothAtOnce);
    EXPECT_EQ(memory.overlap(5, {both.resident - 1, kUnlimited}), SurfaceOverlap::kOneAtATime);
    EXPECT_EQ(memory.overlap(5, {kUnlimited, both.addressSpace - 1}), SurfaceOverlap::kOneAtATime);
    EXPECT_EQ(memory.refusal(5, one), "");
    EXPECT_EQ(memory.refusal(6, {kUnlimited, kUnlimited}), "");
    const std::string none = memory.refusal(1, {0, 0});
    EXPECT_EQ(none.rfind("ERROR : Not enough memory to refine [] by 1 step: it needs about ", 0),
              0u)
        << none;
    EXPECT_NE(none.find(", 0 MiB is available; not even 1 step fits"), std::string::npos) << none;
    EXPECT_NE(memory.refusal(3, memory.estimate(2)).find("; at most 2 steps fit"),
              std::string::npos);
    EXPECT_NE(memory.refusal(2, memory.estimate(1)).find("; at most 1 step fits"),
              std::string::npos);
}

}  // namespace
