// FaceloomBench: times the whole job, from OBJ file in to refined OBJ file out, on a
// generated textured torus, and prints one table.
//
//   FaceloomBench [--facets N] [--steps S] [--dir D]     one table row per run
//   FaceloomBench --scaling [--facets N] [--steps S]     runs at N and 4N facets
//   FaceloomBench --one-at-a-time ...    refines the surfaces one after the other, as a
//                                        run does when memory is short
//   FaceloomBench --glb ...              writes the job's output as a glTF binary
//                                        (.glb) instead of OBJ; its write column is
//                                        the time from the refined mesh to the file
//   FaceloomBench --normals ...          writes the limit normals too
//   FaceloomBench --all-built ...        builds every level as a surface, the last
//                                        included, as a run does when CGAL numbers
//                                        its steps otherwise than expected
//   FaceloomBench --save-input FILE [--facets N] [--steps S]
//                                    only writes the generated mesh, to run the tool on
//   FaceloomBench --versus [--scaling] [--keep] [--runs R] [--facets N] [--steps S]
//                                    the Faceloom binary against the OpenSubdiv peer
//                                    (bench/OsdPeer.cpp), R interleaved runs of each
//                                    (5 unless given), the best of each side; --keep
//                                    keeps the output files in --dir
//
// The columns are wall seconds per phase. With both surfaces at once, the texture is
// refined beside the positions, on a second thread, so the two refinement columns
// overlap.
//
// The torus is a grid of quads with some quads split into triangles and some pairs
// merged into hexagons; its texture layout is the unrolled grid, so it has seams in
// both directions. Each run happens in a child process of its own, so that its peak
// resident memory is the job's alone.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "GltfJob.h"
#include "ObjLoader.h"
#include "RunSubdivision.h"

using namespace faceloom;

namespace {

struct Options {
    std::uint64_t facets = 1000000;
    int steps = 4;
    bool scaling = false;
    std::string dir = "/tmp";
    std::string saveInput;
    bool versus = false;
    bool oneAtATime = false;
    bool keep = false;
    bool glb = false;
    bool normals = false;
    bool allBuilt = false;
    int runs = 5;  // of each program, with --versus
};

struct TorusSize {
    int around = 0;  // N: quads around the main ring
    int across = 0;  // M: quads around the tube
};

// The tool's progress lines would break the table: only errors are shown.
class ErrorsOnly : public Diagnostics {
public:
    void progress(const std::string&) override {}
    void error(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
};

struct Result {
    bool ok = false;
    std::uint64_t facets = 0;
    double load = 0;
    PhaseTimes phases;
    double total = 0;
    long peakKiB = 0;
    std::uint64_t fileBytes = 0;
};

// Writes the torus as OBJ text and returns the number of face corners it has, which
// is the number of facets after one step.
std::uint64_t writeTorus(const std::string& path, TorusSize size) {
    const int n = size.around, m = size.across;
    std::ofstream out(path);
    const double pi = std::acos(-1.0);
    for (int j = 0; j < m; ++j) {
        for (int i = 0; i < n; ++i) {
            const double u = 2 * pi * i / n, v = 2 * pi * j / m;
            out << "v " << (2 + 0.75 * std::cos(v)) * std::cos(u) << ' '
                << (2 + 0.75 * std::cos(v)) * std::sin(u) << ' ' << 0.75 * std::sin(v) << '\n';
        }
    }
    for (int j = 0; j <= m; ++j) {
        for (int i = 0; i <= n; ++i) {
            out << "vt " << double(i) / n << ' ' << double(j) / m << '\n';
        }
    }
    const auto corner = [&](int i, int j) {
        return std::to_string((j % m) * n + (i % n) + 1) + "/" +
               std::to_string(j * (n + 1) + i + 1);
    };
    std::uint64_t corners = 0;
    for (int j = 0; j < m; ++j) {
        for (int i = 0; i < n; ++i) {
            const bool hexagon = (i % 16 == 5) && (j % 9 == 4) && i + 1 < n;
            if (hexagon) {
                out << "f " << corner(i, j) << ' ' << corner(i + 1, j) << ' ' << corner(i + 2, j)
                    << ' ' << corner(i + 2, j + 1) << ' ' << corner(i + 1, j + 1) << ' '
                    << corner(i, j + 1) << '\n';
                corners += 6;
                ++i;  // the next quad is part of the hexagon
            } else if ((3 * i + 5 * j) % 11 == 0) {
                out << "f " << corner(i, j) << ' ' << corner(i + 1, j) << ' '
                    << corner(i + 1, j + 1) << '\n';
                out << "f " << corner(i, j) << ' ' << corner(i + 1, j + 1) << ' '
                    << corner(i, j + 1) << '\n';
                corners += 6;
            } else {
                out << "f " << corner(i, j) << ' ' << corner(i + 1, j) << ' '
                    << corner(i + 1, j + 1) << ' ' << corner(i, j + 1) << '\n';
                corners += 4;
            }
        }
    }
    return corners;
}

TorusSize torusFor(std::uint64_t facets, int steps) {
    // About four corners per input face; each step after the first multiplies by 4.
    const double quads = double(facets) / 4 / std::pow(4.0, steps - 1);
    TorusSize size;
    size.across = std::max(3, int(std::lround(std::sqrt(quads / 2))));
    size.around = std::max(3, int(std::lround(quads / size.across)));
    return size;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The job itself, in the child process.
Result runJob(const Options& options, std::uint64_t facets) {
    const TorusSize size = torusFor(facets, options.steps);
    const std::string base = options.dir + "/faceloom-bench-" + std::to_string(::getpid());
    const std::string input = base + "-in.obj";
    const std::string output = base + (options.glb ? "-out.glb" : "-out.obj");
    Result result;
    result.facets = writeTorus(input, size) << (2 * (options.steps - 1));

    ErrorsOnly diagnostics;
    const auto start = std::chrono::steady_clock::now();
    {
        const std::optional<ObjMesh> mesh = loadObj(input.c_str(), LoadLimits{}, diagnostics).mesh;
        result.load = seconds(start);
        // One surface after the other is what a run does when memory is short.
        RefineSettings settings;
        RunOptions& run = settings.wanted;
        run.steps = options.steps;
        run.overlap =
            options.oneAtATime ? SurfaceOverlap::kOneAtATime : SurfaceOverlap::kBothAtOnce;
        run.limit.normals = options.normals;
        run.path = options.allBuilt ? LevelPath::kAllBuilt : LevelPath::kLastComputed;
        settings.times = &result.phases;
        if (mesh && options.glb) {
            refineObjToGltf(*mesh, output.c_str(), true, settings, diagnostics);
        } else if (mesh) {
            runSubdivision(*mesh, output.c_str(), run, diagnostics, &result.phases);
        }
    }
    result.total = seconds(start);
    struct rusage usage;
    ::getrusage(RUSAGE_SELF, &usage);
    result.peakKiB = usage.ru_maxrss;
    struct stat st;
    result.ok = ::stat(output.c_str(), &st) == 0;
    result.fileBytes = result.ok ? std::uint64_t(st.st_size) : 0;
    std::remove(input.c_str());
    std::remove(output.c_str());
    return result;
}

// Runs the job in a child process and returns what it measured.
Result measure(const Options& options, std::uint64_t facets) {
    int channel[2];
    if (::pipe(channel) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    std::fflush(stdout);  // or the child prints what is buffered once more
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        Result r = runJob(options, facets);
        const bool sent = ::write(channel[1], &r, sizeof r) == ssize_t(sizeof r);
        ::_exit(sent ? 0 : 1);
    }
    ::close(channel[1]);
    Result r;
    const bool received = ::read(channel[0], &r, sizeof r) == ssize_t(sizeof r);
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!received) {
        r = Result{};
    }
    return r;
}

void printHeader() {
    std::printf("%11s %5s | %6s %6s %7s %7s %7s %6s | %7s %8s %6s %8s %7s\n", "facets", "steps",
                "load", "build", "ref.pos", "ref.tex", "handovr", "write", "total", "peak MiB",
                "B/fac", "file MiB", "tot/ref");
}

void printRow(const Result& r, int steps) {
    if (!r.ok) {
        std::printf("%11llu %5d | run failed\n", static_cast<unsigned long long>(r.facets), steps);
        return;
    }
    const PhaseTimes& p = r.phases;
    std::printf(
        "%11llu %5d | %6.2f %6.2f %7.2f %7.2f %7.2f %6.2f | %7.2f %8.0f %6.0f %8.0f %7.2f\n",
        static_cast<unsigned long long>(r.facets), steps, r.load, p.build, p.refinePositions,
        p.refineTexture, p.handOver, p.write, r.total, r.peakKiB / 1024.0,
        r.peakKiB * 1024.0 / double(r.facets), double(r.fileBytes) / (1 << 20),
        r.total / (p.refinePositions + p.refineTexture));
}

// Runs `run(facets)` at the benchmark's size and, with --scaling, at four times it,
// printing each result; `ratio(first, larger)` prints how the cost grew when both ran.
// The exit status: 0 when every run succeeded.
template <class Run, class Print, class Ratio>
int atSizes(const Options& options, const Run& run, const Print& print, const Ratio& ratio) {
    const auto first = run(options.facets);
    print(first);
    if (!options.scaling) {
        return first.ok ? 0 : 1;
    }
    const auto larger = run(4 * options.facets);
    print(larger);
    if (!first.ok || !larger.ok) {
        return 1;
    }
    ratio(first, larger);
    return 0;
}

#ifdef FACELOOM_OSD_PEER
// One run of a whole program, as a user would start it: its wall time and the peak
// resident memory of its process.
struct ProgramRun {
    bool ok = false;
    double wall = 0;
    long peakKiB = 0;
};

ProgramRun runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            ::dup2(quiet, STDOUT_FILENO);  // the progress lines; errors still show
        }
        ::execv(argv[0], argv.data());
        std::perror(argv[0]);
        ::_exit(127);
    }
    ProgramRun run;
    int status = 0;
    struct rusage usage;
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
        return run;
    }
    run.wall = seconds(start);
    run.peakKiB = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

struct Versus {
    bool ok = false;
    std::uint64_t facets = 0;
    ProgramRun faceloom, peer;  // the best of each: least wall time, least peak memory
};

ProgramRun best(const ProgramRun& a, const ProgramRun& b) {
    if (!a.ok || !b.ok) {
        return a.ok ? a : b;
    }
    return {true, std::min(a.wall, b.wall), std::min(a.peakKiB, b.peakKiB)};
}

Versus runVersus(const Options& options, std::uint64_t facets) {
    const std::string base = options.dir + "/faceloom-versus-" + std::to_string(facets);
    const std::string input = base + "-in.obj";
    const std::string ours = base + "-faceloom.obj", theirs = base + "-osd.obj";
    Versus v;
    v.facets = writeTorus(input, torusFor(facets, options.steps)) << (2 * (options.steps - 1));
    const std::string steps = std::to_string(options.steps);
    v.ok = true;
    for (int round = 0; round < options.runs; ++round) {
        const ProgramRun f = runProgram({FACELOOM_BINARY, steps, input, ours});
        const ProgramRun p = runProgram({FACELOOM_OSD_PEER, steps, input, theirs});
        v.ok = v.ok && f.ok && p.ok;
        v.faceloom = round == 0 ? f : best(v.faceloom, f);
        v.peer = round == 0 ? p : best(v.peer, p);
    }
    std::remove(input.c_str());
    if (!options.keep) {
        std::remove(ours.c_str());
        std::remove(theirs.c_str());
    }
    return v;
}

void printVersus(const Versus& v, int steps) {
    if (!v.ok) {
        std::printf("%11llu %5d | run failed\n", static_cast<unsigned long long>(v.facets), steps);
        return;
    }
    std::printf("%11llu %5d | %8.2f %8.0f | %8.2f %8.0f | %6.2f %6.2f\n",
                static_cast<unsigned long long>(v.facets), steps, v.faceloom.wall,
                v.faceloom.peakKiB / 1024.0, v.peer.wall, v.peer.peakKiB / 1024.0,
                v.faceloom.wall / v.peer.wall, double(v.faceloom.peakKiB) / double(v.peer.peakKiB));
}

int versusMain(const Options& options) {
    std::printf("%11s %5s | %17s | %17s | %13s\n", "", "", "Faceloom", "OpenSubdiv", "ratio");
    std::printf("%11s %5s | %8s %8s | %8s %8s | %6s %6s\n", "facets", "steps", "wall s", "peak MiB",
                "wall s", "peak MiB", "wall", "peak");
    return atSizes(
        options, [&](std::uint64_t facets) { return runVersus(options, facets); },
        [&](const Versus& v) { printVersus(v, options.steps); },
        [](const Versus& first, const Versus& larger) {
            std::printf(
                "cost ratio for %.2fx the facets: Faceloom %.2fx the time, OpenSubdiv "
                "%.2fx\n",
                double(larger.facets) / double(first.facets),
                larger.faceloom.wall / first.faceloom.wall, larger.peer.wall / first.peer.wall);
        });
}
#endif

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--facets" && hasValue) {
            o.facets = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--runs" && hasValue) {
            o.runs = std::atoi(argv[++i]);
        } else if (arg == "--steps" && hasValue) {
            o.steps = std::atoi(argv[++i]);
        } else if (arg == "--dir" && hasValue) {
            o.dir = argv[++i];
        } else if (arg == "--save-input" && hasValue) {
            o.saveInput = argv[++i];
        } else if (arg == "--scaling") {
            o.scaling = true;
        } else if (arg == "--one-at-a-time") {
            o.oneAtATime = true;
        } else if (arg == "--versus") {
            o.versus = true;
        } else if (arg == "--keep") {
            o.keep = true;
        } else if (arg == "--glb") {
            o.glb = true;
        } else if (arg == "--normals") {
            o.normals = true;
        } else if (arg == "--all-built") {
            o.allBuilt = true;
        } else {
            std::fprintf(stderr,
                         "usage: FaceloomBench [--facets N] [--steps 1-6] [--dir D] [--scaling] "
                         "[--one-at-a-time] [--glb] [--normals] [--all-built] [--save-input FILE] "
                         "[--versus [--keep] [--runs R]]\n");
            std::exit(2);
        }
    }
    if (o.steps < 1 || o.steps > 6 || o.facets == 0 || o.runs < 1) {
        std::fprintf(stderr,
                     "FaceloomBench: --steps takes 1 to 6, --facets and --runs a positive count\n");
        std::exit(2);
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parse(argc, argv);
    if (!options.saveInput.empty()) {
        const std::uint64_t corners =
            writeTorus(options.saveInput, torusFor(options.facets, options.steps));
        std::printf("%s: %llu facets after %d steps\n", options.saveInput.c_str(),
                    static_cast<unsigned long long>(corners << (2 * (options.steps - 1))),
                    options.steps);
        return 0;
    }
    if (options.versus) {
#ifdef FACELOOM_OSD_PEER
        return versusMain(options);
#else
        std::fprintf(stderr, "FaceloomBench: built without OpenSubdiv (libosd-dev), no peer\n");
        return 2;
#endif
    }
    printHeader();
    return atSizes(
        options, [&](std::uint64_t facets) { return measure(options, facets); },
        [&](const Result& r) { printRow(r, options.steps); },
        [](const Result& first, const Result& larger) {
            std::printf("cost ratio for %.2fx the facets: %.2fx the time\n",
                        double(larger.facets) / double(first.facets), larger.total / first.total);
        });
}
