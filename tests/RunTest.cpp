// The run: the texture refined beside the positions gives the very run that refines
// them one after the other, the last levels computed the very run that builds them; a
// failure on either thread ends the run with no file left behind; long refinements show
// where they stand on a terminal.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "ForkJoin.h"
#include "ObjLoader.h"
#include "RunSubdivision.h"
#include "support/RecordedDiagnostics.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

// Everything a run reports and writes, its times masked.
struct RunRecord {
    std::string out, err, file;
    bool ok = false;
};

RunRecord record(const ObjMesh& mesh, const SmoothingOptions& smoothing, SurfaceOverlap overlap,
                 LevelPath path = LevelPath::kLastComputed) {
    test::TempDir dir;
    test::RecordedDiagnostics diagnostics;
    RunRecord r;
    r.ok = runSubdivision(mesh, dir.file("out.obj").c_str(),
                          RunOptions{2, smoothing, overlap, path, {}}, diagnostics);
    r.out = test::maskTimes(diagnostics.out);
    r.err = diagnostics.err;
    r.file = test::fileExists(dir.file("out.obj")) ? test::readFile(dir.file("out.obj")) : "";
    return r;
}

// Both at once or one after the other, last level computed or built: the same run.
TEST(RunTest, EveryWayOfRefiningGivesTheSameRun) {
    // Clean meshes, repaired ones (warnings), a layout that can't be refined (an
    // error), and a mesh that doesn't build at all.
    for (const std::string& input :
         {test::cubeFile(), test::dataFile("unused_position.obj"),
          test::dataFile("cube_one_face_turned.obj"),
          test::dataFile("two_cubes_sharing_a_vertex.obj"),
          test::dataFile("faces_without_texture_indices.obj"),
          test::dataFile("index_out_of_range.obj"), test::dataFile("cube_without_texture.obj"),
          test::dataFile("materials/two_materials.obj")}) {
        const ObjMesh mesh = test::loadMesh(input);
        for (const SmoothingOptions& smoothing :
             {SmoothingOptions{}, SmoothingOptions{UvSmooth::kKeepCornersJunctionsConcave,
                                                   BoundarySmooth::kKeepCorners}}) {
            const RunRecord together = record(mesh, smoothing, SurfaceOverlap::kBothAtOnce);
            for (const RunRecord& other :
                 {record(mesh, smoothing, SurfaceOverlap::kOneAtATime),
                  record(mesh, smoothing, SurfaceOverlap::kOneAtATime, LevelPath::kAllBuilt)}) {
                EXPECT_EQ(together.out, other.out) << input;
                EXPECT_EQ(together.err, other.err) << input;
                EXPECT_EQ(together.file, other.file) << input;
                EXPECT_EQ(together.ok, other.ok) << input;
            }
        }
    }
}

// Fails at the `nth` "Finish [" line: the positions' (while the texture refines on the
// other thread), or the texture's (while the positions are written on it).
class FailingAtFinish : public test::RecordedDiagnostics {
public:
    explicit FailingAtFinish(int nth) : left_(nth) {}
    void progress(const std::string& text) override {
        if (text.rfind("Finish [", 0) == 0 && --left_ == 0) {
            throw std::runtime_error("failed at finish");
        }
        RecordedDiagnostics::progress(text);
    }

private:
    int left_;
};

TEST(RunTest, FailureOnEitherThreadEndsTheRunWithNoFile) {
    const ObjMesh mesh = test::loadMesh(test::cubeFile());
    for (const int nth : {1, 2}) {
        test::TempDir dir;
        FailingAtFinish diagnostics(nth);
        EXPECT_FALSE(runSubdivision(
            mesh, dir.file("out.obj").c_str(),
            RunOptions{3, {}, SurfaceOverlap::kBothAtOnce, LevelPath::kLastComputed, {}},
            diagnostics));
        EXPECT_EQ(diagnostics.err, "failed at finish\n");
        EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << nth;
    }
}

// Whichever side fails, both are finished before the failure goes on, and the first
// one of this thread's is the one that goes on.
TEST(RunTest, ForkJoinFinishesBothSidesAndPassesTheFailureOn) {
    std::atomic<bool> besideDone{false};
    const auto slowly = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        besideDone = true;
    };
    EXPECT_THROW(forkJoin(slowly, [] { throw std::runtime_error("here"); }), std::runtime_error);
    EXPECT_TRUE(besideDone);
    bool hereDone = false;
    try {
        forkJoin([] { throw std::logic_error("beside"); }, [&] { hereDone = true; });
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "beside");
    }
    EXPECT_TRUE(hereDone);
}

// Runs the tool with standard error on a pseudo-terminal (standard output to
// /dev/null) and returns what the terminal received.
std::string runOnTerminal(const std::vector<std::string>& args) {
    const std::string tool = test::toolPath();
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDOUT_FILENO);
        std::vector<char*> argv{const_cast<char*>(tool.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    std::string shown;
    char buffer[4096];
    // Read until EIO, once the child has closed its side.
    for (ssize_t n;
         (n = ::read(terminal, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);) {
        shown.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    return shown;
}

TEST(RunTest, StepsShowOnATerminalAndAreTakenAway) {
    test::TempDir dir;
    const std::string shown = runOnTerminal({"3", test::cubeFile(), dir.file("out.obj")});
    EXPECT_NE(shown.find("\rRefining positions  step 1/3  6 facets\033[K"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("\rRefining positions  step 3/3  96 facets\033[K"), std::string::npos)
        << shown;
    // Nothing is left standing: the last thing the terminal got clears the line.
    const std::string erase = "\r\033[K";
    ASSERT_GE(shown.size(), erase.size());
    EXPECT_EQ(shown.substr(shown.size() - erase.size()), erase) << shown;
}

}  // namespace
