// The memory check: refused before any work when it doesn't fit, its estimate against
// what the tool really uses, and the reading of the system's limits.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ObjLoader.h"
#include "support/RecordedDiagnostics.h"
#include "support/TestSupport.h"
#include "MemoryBudget.h"
#include "RunMemory.h"

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

struct MeasuredRun {
    int status = -1;
    std::uint64_t peakResident = 0;  // bytes
    std::string err;
};

// Runs Faceloom in a child limited to `addressSpace` bytes of address space and
// reads its peak resident memory from wait4. The peak includes what this process
// held when it forked, so keep it small here.
MeasuredRun runMeasured(const std::vector<std::string>& args, std::uint64_t addressSpace,
                        const std::string& errFile) {
    std::vector<std::string> words{test::toolPath()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int quiet = ::open("/dev/null", O_RDWR);
        const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const rlimit limit{addressSpace, addressSpace};
        if (quiet < 0 || err < 0 || ::dup2(quiet, 0) < 0 || ::dup2(quiet, 1) < 0 ||
            ::dup2(err, 2) < 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) {
            ::_exit(125);
        }
        ::execv(argv[0], argv.data());
        ::_exit(126);
    }
    MeasuredRun run;
    int status = 0;
    rusage usage{};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) {
        return run;
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.peakResident = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    run.err = test::readFile(errFile);
    return run;
}

// `count` triangles that share no vertex: the most edges, and so the most surface,
// per facet.
std::string separateTriangles(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        const std::string x = std::to_string(i % 1000), y = std::to_string(i / 1000);
        text += "v " + x + " " + y + " 0\nv " + x + ".5 " + y + " 0\nv " + x + " " + y + ".5 0\n";
    }
    for (int i = 0; i < count; ++i) {
        text += "f " + std::to_string(3 * i + 1) + " " + std::to_string(3 * i + 2) + " " +
                std::to_string(3 * i + 3) + "\n";
    }
    return text;
}

// An n x n grid of quads without texture, after `unused` vertices no face names.
std::string gridAfterUnused(int n, int unused) {
    std::string text;
    for (int k = 0; k < unused; ++k) {
        text += "v " + std::to_string(k) + " -1 -1\n";
    }
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            text += "v " + std::to_string(i) + " " + std::to_string(j) + " " +
                    std::to_string((i * j) % 7) + "\n";
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int a = unused + j * (n + 1) + i + 1, b = a + 1, c = a + n + 2, d = a + n + 1;
            text += "f " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c) +
                    " " + std::to_string(d) + "\n";
        }
    }
    return text;
}

// A closed torus of n x n quads whose texture is cut open along both directions.
std::string texturedTorus(int n) {
    std::string text;
    const double pi = std::acos(-1.0);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const double a = 2 * pi * i / n, b = 2 * pi * j / n;
            text += "v " + std::to_string((3 + std::cos(b)) * std::cos(a)) + " " +
                    std::to_string((3 + std::cos(b)) * std::sin(a)) + " " +
                    std::to_string(std::sin(b)) + "\n";
        }
    }
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            text +=
                "vt " + std::to_string(double(i) / n) + " " + std::to_string(double(j) / n) + "\n";
        }
    }
    const auto corner = [n](int i, int j) {
        return std::to_string((j % n) * n + (i % n) + 1) + "/" +
               std::to_string(j * (n + 1) + i + 1);
    };
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            text += "f " + corner(i, j) + " " + corner(i + 1, j) + " " + corner(i + 1, j + 1) +
                    " " + corner(i, j + 1) + "\n";
        }
    }
    return text;
}

struct Shape {
    const char* name;
    std::string (*make)(int);
    int size;
    int steps;
};

std::string gridWithUnused(int n) {
    return gridAfterUnused(n, 150000);
}
std::string plainGrid(int n) {
    return gridAfterUnused(n, 0);
}

// The estimate is an upper bound of the real peak: at an address-space limit of the
// estimate the run finishes, and its peak resident memory stays below the estimate.
// It is no gross overstatement either, or jobs that fit would be refused.
TEST(MemoryTest, EstimateBoundsTheMeasuredPeak) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "AddressSanitizer changes what a run uses";
    }
    const Shape shapes[] = {
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
    for (const Shape& shape : shapes) {
        const std::string input = dir.file("input.obj");
        test::writeFile(input, shape.make(shape.size));
        const faceloom::ObjMesh mesh = test::loadMesh(input);
        // The address space each estimate allows is what makes the run choose that
        // way of refining the texture: at the one-at-a-time estimate the surfaces
        // can't both be there.
        for (const auto overlap :
             {faceloom::SurfaceOverlap::kOneAtATime, faceloom::SurfaceOverlap::kBothAtOnce}) {
            if (overlap == faceloom::SurfaceOverlap::kBothAtOnce && mesh.uvCount() == 0) {
                continue;  // nothing to refine beside the positions
            }
            SCOPED_TRACE(std::string(shape.name) + " " + std::to_string(shape.size) + ", " +
                         std::to_string(shape.steps) + " steps, " +
                         (overlap == faceloom::SurfaceOverlap::kBothAtOnce ? "both at once"
                                                                           : "one at a time"));
            const MemoryAmounts estimate = faceloom::RunMemory(mesh).estimate(shape.steps, overlap);
            const MeasuredRun run = runMeasured({std::to_string(shape.steps), input, "/dev/null"},
                                                estimate.addressSpace, dir.file("err.txt"));
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(run.err, "");
            EXPECT_LE(run.peakResident, estimate.resident);
            EXPECT_LE(double(estimate.resident), 1.6 * double(run.peakResident))
                << "measured " << (run.peakResident >> 20) << " MiB";
        }
    }
}

// A fake /proc and /sys: memory.* files of the named cgroup directories, the
// process's cgroup line, and MemAvailable.
struct CgroupCase {
    const char* name;
    const char* cgroupLine;
    std::vector<std::pair<std::string, std::string>> files;  // path under the root, text
    std::uint64_t expected;
};

constexpr std::uint64_t kMiB = 1 << 20;

TEST(MemoryTest, CgroupLimitsAreHonoured) {
    const std::string plentyFree = "MemAvailable:   16777216 kB\n";  // 16 GiB
    const std::string rss = "VmRSS:\t    2048 kB\n";                 // held already: 2 MiB
    const std::vector<CgroupCase> cases = {
        {"v2: limit less usage, plus what is held",
         "0::/job\n",
         {{"sys/fs/cgroup/job/memory.max", "262144000\n"},
          {"sys/fs/cgroup/job/memory.current", "104857600\n"}},
         262144000 - 104857600 + 2 * kMiB},
        {"v2: active and inactive file cache are free, dirty cache is not",
         "0::/job\n",
         {{"sys/fs/cgroup/job/memory.max", "1000000000\n"},
          {"sys/fs/cgroup/job/memory.current", "900000000\n"},
          {"sys/fs/cgroup/job/memory.stat",
           "anon 100000000\nactive_file 600000000\ninactive_file 200000000\nfile_dirty "
           "50000000\nfile_writeback 10000000\n"}},
         1000000000 - (900000000 - 740000000) + 2 * kMiB},
        {"v2: a tighter limit on a parent group binds",
         "0::/outer/job\n",
         {{"sys/fs/cgroup/outer/memory.max", "300000000\n"},
          {"sys/fs/cgroup/outer/memory.current", "200000000\n"},
          {"sys/fs/cgroup/outer/job/memory.max", "max\n"},
          {"sys/fs/cgroup/outer/job/memory.current", "150000000\n"}},
         100000000 + 2 * kMiB},
        {"v2: no limit leaves MemAvailable",
         "0::/job\n",
         {{"sys/fs/cgroup/job/memory.max", "max\n"},
          {"sys/fs/cgroup/job/memory.current", "150000000\n"}},
         16777216 * 1024ull + 2 * kMiB},
        {"v1: limit less usage, file cache free",
         "12:pids:/job\n4:memory:/job\n",
         {{"sys/fs/cgroup/memory/job/memory.limit_in_bytes", "500000000\n"},
          {"sys/fs/cgroup/memory/job/memory.usage_in_bytes", "450000000\n"},
          {"sys/fs/cgroup/memory/job/memory.stat",
           "cache 400000000\ntotal_active_file 300000000\ntotal_inactive_file "
           "100000000\ntotal_dirty 20000000\n"}},
         500000000 - (450000000 - 380000000) + 2 * kMiB},
    };
    for (const CgroupCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir root;
        std::filesystem::create_directories(root.file("proc/self"));
        test::writeFile(root.file("proc/meminfo"), plentyFree);
        test::writeFile(root.file("proc/self/status"), rss);
        test::writeFile(root.file("proc/self/cgroup"), c.cgroupLine);
        for (const auto& [path, text] : c.files) {
            std::filesystem::create_directories(
                std::filesystem::path(root.file(path)).parent_path());
            test::writeFile(root.file(path), text);
        }
        EXPECT_EQ(faceloom::availableMemory(root.path()).resident, c.expected);
    }
}

TEST(MemoryTest, NothingReadableMeansNoLimit) {
    test::TempDir root;
    EXPECT_EQ(faceloom::availableMemory(root.path()).resident, faceloom::kUnlimited);
}

// The input is measured before it is read: a file too large to load is refused from
// its size, and an endless input is read only as far as memory allows.
TEST(MemoryTest, InputTooLargeToLoadIsRefusedBeforeReading) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "address space limits don't work under AddressSanitizer";
    }
    test::TempDir dir;
    const std::string input = dir.file("large.obj"), out = dir.file("out.obj");
    test::writeFile(input, std::string(20 * kMiB, '#'));
    const MeasuredRun sized = runMeasured({"1", input, out}, 64 * kMiB, dir.file("err.txt"));
    EXPECT_EQ(sized.status, 1);
    EXPECT_EQ(sized.err, "ERROR : Not enough memory to read [" + input +
                             "]: loading its 20 MiB needs about 96 MiB, address space 64 MiB "
                             "is available\n");
    EXPECT_FALSE(test::fileExists(out));

    const MeasuredRun endless =
        runMeasured({"1", "/dev/zero", out}, 64 * kMiB, dir.file("err.txt"));
    EXPECT_EQ(endless.status, 1);
    EXPECT_EQ(endless.err,
              "ERROR : Not enough memory to read [/dev/zero]: it goes on past 12 MiB, and no more "
              "loads in the 64 MiB of address space available\n");
    EXPECT_FALSE(test::fileExists(out));
}

TEST(MemoryTest, RefinementTooLargeIsRefusedBeforeAnyWork) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "address space limits don't work under AddressSanitizer";
    }
    test::TempDir dir;
    const std::string input = dir.file("grid.obj"), out = dir.file("out.obj");
    test::writeFile(input, test::quadGrid(100));  // 10000 quads: 41 million facets at 6 steps
    test::RunResult r = test::runToolAfter("ulimit -v 600000", {"6", input, out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");  // refused before any phase began
    EXPECT_EQ(
        r.err.rfind(
            "ERROR : Not enough memory to refine [" + input + "] by 6 steps: it needs about ", 0),
        0u)
        << r.err;
    EXPECT_NE(r.err.find("at most 4 steps fit\n"), std::string::npos) << r.err;
    EXPECT_FALSE(test::fileExists(out));
    // What it says fits does fit.
    EXPECT_EQ(test::runToolAfter("ulimit -v 600000", {"4", input, out}).status, 0);
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
    test::RunResult r = test::runToolAfter("ulimit -v 60000", {"1", input, dir.file("out.obj")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("std::bad_alloc\n", 0), 0u) << r.err;
}

TEST(MemoryTest, MemoryRefusalMessage) {
    const ObjMesh grid = faceloom::parseObj(test::quadGrid(20));  // 1600 corners
    MemoryAmounts plenty{kUnlimited, kUnlimited};
    EXPECT_EQ(RunMemory(grid).refusal(6, plenty), "");
    const MemoryAmounts need4 = RunMemory(grid).estimate(4);
    MemoryAmounts tight{need4.resident, kUnlimited};
    const std::string message = RunMemory(grid).refusal(6, tight);
    EXPECT_EQ(
        message.rfind("ERROR : Not enough memory to refine [] by 6 steps: it needs about ", 0), 0u);
    EXPECT_NE(message.find(" is available; at most 4 steps fit"), std::string::npos) << message;
    EXPECT_EQ(RunMemory(grid).refusal(4, tight), "");
    MemoryAmounts none{0, 0};
    EXPECT_NE(RunMemory(grid).refusal(1, none).find("by 1 step: it needs"), std::string::npos);
    EXPECT_NE(RunMemory(grid).refusal(1, none).find("not even 1 step fits"), std::string::npos);
}

TEST(MemoryTest, BothSurfacesAtOnceOnlyWhenTheyFit) {
    const ObjMesh grid = faceloom::parseObj(test::quadGrid(10));
    const MemoryAmounts one = RunMemory(grid).estimate(5, SurfaceOverlap::kOneAtATime);
    const MemoryAmounts both = RunMemory(grid).estimate(5, SurfaceOverlap::kBothAtOnce);
    EXPECT_GT(both.resident, one.resident);
    EXPECT_GT(both.addressSpace, one.addressSpace);
    EXPECT_EQ(RunMemory(grid).overlap(5, both), SurfaceOverlap::kBothAtOnce);
    EXPECT_EQ(RunMemory(grid).overlap(5, {both.resident - 1, kUnlimited}),
              SurfaceOverlap::kOneAtATime);
    EXPECT_EQ(RunMemory(grid).overlap(5, {kUnlimited, both.addressSpace - 1}),
              SurfaceOverlap::kOneAtATime);
    // Memory for one surface at a time is still enough to run.
    EXPECT_EQ(RunMemory(grid).refusal(5, one), "");
}

}  // namespace
