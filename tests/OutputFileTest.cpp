// Where the output goes and what a failure leaves: the exit status says whether an
// error was reported, a failed or interrupted run leaves no half-written file and
// never destroys the one that was there, descriptors and devices are written
// directly, links and permissions are kept, and what can't be written says why.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "OutputFile.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Files in `dir` other than `expected`: leftovers of a failed write.
std::vector<std::string> strayFiles(const test::TempDir& dir,
                                    const std::vector<std::string>& expected) {
    std::vector<std::string> stray;
    for (const std::string& name : filesIn(dir.path())) {
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) {
            stray.push_back(name);
        }
    }
    return stray;
}

// Runs a shell command line with the tool's path as $0 and the cube as $1.
test::RunResult shell(const std::string& command) {
    return test::runProgram({"/bin/sh", "-c", command, test::toolPath(), test::cubeFile()});
}

TEST(OutputFileTest, ExitStatusSaysWhetherAnErrorWasReported) {
    test::TempDir dir;
    const std::string out = dir.file("out.obj");
    struct Case {
        std::vector<std::string> args;
        int status;
        bool written;
    };
    const std::vector<Case> cases = {
        {{"1", test::cubeFile(), out}, 0, true},
        {{"9", test::cubeFile(), out}, 0, true},  // the step warning is not an error
        {{"1", test::dataFile("cube_without_texture.obj"), out}, 0, true},
        {{"1", dir.file("absent.obj"), out}, 1, false},
        {{"1", test::dataFile("skipped_keywords.obj"), out}, 1, false},  // a face CGAL rejects
        {{"1", test::dataFile("index_out_of_range.obj"), out}, 1, false},
        {{"1", test::dataFile("face_names_a_vertex_twice.obj"), out}, 0, true},  // dropped
        {{"1", test::dataFile("shared_directed_edge.obj"), out}, 0, true},       // repaired
        {{"1", test::dataFile("faces_without_texture_indices.obj"), out},
         0,
         true},  // refined without the unused texture
        {{"1", test::cubeFile(), dir.file("no/such/dir/out.obj")}, 1, false},
        {{"1", test::cubeFile()}, 255, false},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(out);
        test::RunResult r = test::runTool(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[1] << "\n" << r.err;
        EXPECT_EQ(test::fileExists(out), c.written) << c.args[1];
    }
    test::writeFile(dir.file("faceless.obj"), "v 0 0 0\nv 1 0 0\nvt 0 0\n");
    test::RunResult faceless = test::runTool({"1", dir.file("faceless.obj"), out});
    EXPECT_EQ(faceless.status, 1);
    EXPECT_EQ(faceless.err, "ERROR : NULL Mesh\nERROR : NULL 2D Data\n");
}

TEST(OutputFileTest, FullDevice) {
    test::RunResult r = test::runTool({"2", test::cubeFile(), "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Can't write to [/dev/full]: No space left on device\n");
}

TEST(OutputFileTest, DeviceOutputIsWrittenDirectly) {
    test::RunResult r = test::runTool({"2", test::cubeFile(), "/dev/null"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(S_ISCHR(modeOf("/dev/null")));
}

TEST(OutputFileTest, UnwritableDirectory) {
    test::TempDir dir;
    // Permissions don't stop root; a directory of /proc stops everyone.
    std::string out = "/proc/self/faceloom-out.obj";
    std::string reason = "No such file or directory";  // what /proc says
    if (::geteuid() != 0) {
        ASSERT_EQ(::mkdir(dir.file("locked").c_str(), 0555), 0);
        out = dir.file("locked/out.obj");
        reason = "Permission denied";
    }
    test::RunResult r = test::runTool({"1", test::cubeFile(), out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Can't write to [" + out + "]: " + reason + "\n");
    EXPECT_FALSE(test::fileExists(out));
}

TEST(OutputFileTest, ExistingOutputSurvivesAFailedRun) {
    test::TempDir dir;
    const std::string out = dir.file("out.obj");
    const std::string precious = "precious\ncontents\n";
    test::writeFile(out, precious);

    // Nothing to write: the mesh is rejected.
    test::RunResult rejected = test::runTool({"1", test::dataFile("index_out_of_range.obj"), out});
    EXPECT_EQ(rejected.status, 1);
    EXPECT_EQ(test::readFile(out), precious);

    // The write fails part way (a file size limit stands in for a full disk).
    test::RunResult tooBig = test::runToolAfter("trap '' XFSZ; ulimit -f 4", {"3", test::cubeFile(), out});
    EXPECT_EQ(tooBig.status, 1);
    EXPECT_EQ(tooBig.err, "ERROR : Can't write to [" + out + "]: File too large\n");
    EXPECT_EQ(test::readFile(out), precious);
    EXPECT_TRUE(strayFiles(dir, {"out.obj"}).empty());
}

TEST(OutputFileTest, InputAndOutputTheSamePath) {
    test::TempDir dir;
    const std::string mesh = dir.file("mesh.obj");
    test::writeFile(mesh, test::readFile(test::cubeFile()));
    test::RunResult r = test::runTool({"1", mesh, mesh});
    EXPECT_EQ(r.status, 0) << r.err;
    test::ObjFile obj = test::parseObj(test::readFile(mesh));
    EXPECT_TRUE(obj.wellFormed());
    EXPECT_EQ(obj.f.size(), 24u);
    EXPECT_TRUE(strayFiles(dir, {"mesh.obj"}).empty());
}

TEST(OutputFileTest, SymbolicLinkKeepsPointingAtTheReplacedFile) {
    test::TempDir dir;
    const std::string real = dir.file("real.obj"), link = dir.file("link.obj");
    test::writeFile(real, "old\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.obj", link.c_str()), 0);
    test::RunResult r = test::runTool({"1", test::cubeFile(), link});
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(test::parseObj(test::readFile(real)).f.size(), 24u);
    EXPECT_EQ(modeOf(real) & 07777, 0640u);

    // A link to a file that doesn't exist yet creates that file.
    const std::string dangling = dir.file("dangling.obj");
    ASSERT_EQ(::symlink("created.obj", dangling.c_str()), 0);
    EXPECT_EQ(test::runTool({"1", test::cubeFile(), dangling}).status, 0);
    EXPECT_EQ(test::parseObj(test::readFile(dir.file("created.obj"))).f.size(), 24u);
}

TEST(OutputFileTest, NewFilesGetTheUsualPermissions) {
    test::TempDir dir;
    const std::string out = dir.file("out.obj");
    test::RunResult r = test::runToolAfter("umask 027", {"1", test::cubeFile(), out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(modeOf(out) & 07777, 0640u);
}

// A child process that holds its output file open with bytes written, after
// ignoring `ignored` (0 for none); -1 when it could not start writing.
pid_t childWriting(const test::TempDir& dir, int ignored) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return -1;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (ignored != 0) {
            ::signal(ignored, SIG_IGN);
        }
        OutputFile file(dir.file("out.obj"));
        const bool writing = file.open() && file.write("v 0 0 0\n", 8);
        (void)!::write(ready[1], writing ? "y" : "n", 1);
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char answer = 0;
    const bool writing = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
    return writing ? child : -1;
}

// A write stopped by a signal: the temporary file goes, and the child dies of the
// signal. A signal the process was told to ignore (SIGHUP under nohup) stays ignored.
TEST(OutputFileTest, InterruptedWriteLeavesNoTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        test::TempDir dir;
        const pid_t child = childWriting(dir, signal == SIGTERM ? SIGHUP : 0);
        ASSERT_GT(child, 0);
        const std::vector<std::string> during = filesIn(dir.path());
        ASSERT_EQ(during.size(), 1u);
        EXPECT_EQ(during[0].rfind("out.obj.faceloom-", 0), 0u) << during[0];
        EXPECT_EQ(during[0].size(), std::string("out.obj.faceloom-XXXXXX.tmp").size());
        int status = 0;
        if (signal == SIGTERM) {
            ASSERT_EQ(::kill(child, SIGHUP), 0);
            ::usleep(100000);
            EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "killed by an ignored signal";
        }
        ASSERT_EQ(::kill(child, signal), 0);
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_TRUE(filesIn(dir.path()).empty()) << signal;
    }
}

// The progress lines reach a log as each phase passes, not when the run ends: a run
// that is stopped while it waits to write (here, for a reader of its FIFO) has shown
// the phases of the positions, which come before the writing.
TEST(OutputFileTest, ProgressReachesTheLogBeforeTheRunEnds) {
    test::TempDir dir;
    const test::RunResult r =
        shell("cd '" + dir.path() +
              "' && mkfifo out.fifo && { \"$0\" 1 \"$1\" out.fifo > log 2>&1 & } && "
              "for i in $(seq 100); do grep -q Finish.*Steps log && break; sleep 0.1; done; "
              "kill -TERM $!; wait $!; echo \"status $?\"; cat log");
    EXPECT_EQ(r.out.rfind("status 143\nBegin To Build Polyhedron Mesh\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Begin To Subdividing Mesh\nFinish [1] Steps In ["), std::string::npos)
        << r.out;
}

TEST(OutputFileTest, StandardOutputIsWrittenThroughItsDescriptor) {
    test::TempDir dir;
    const std::string plain = dir.file("plain.obj");
    ASSERT_EQ(test::runTool({"1", test::cubeFile(), plain}).status, 0);
    const std::string obj = test::readFile(plain);

    // ">>" appends to the log: it is not replaced. The console lines go to standard
    // error, so the OBJ stays clean.
    for (const std::string name : {"/dev/stdout", "-", "/dev/fd/1", "/proc/self/fd/1"}) {
        const std::string log = dir.file("log.txt");
        test::writeFile(log, "old\n");
        test::RunResult r = shell("exec \"$0\" 1 \"$1\" " + name + " >> " + log);
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(test::readFile(log), "old\n" + obj) << name;
        EXPECT_NE(r.err.find("Begin To Build Polyhedron Mesh\n"), std::string::npos) << name;
    }
    // A pipe.
    for (const std::string name : {"/dev/stdout", "-", "/proc/self/fd/1"}) {
        const std::string piped = dir.file("piped.obj");
        test::RunResult r = shell("\"$0\" 1 \"$1\" " + name + " | cat > " + piped);
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(test::readFile(piped), obj) << name;
    }
}

TEST(OutputFileTest, NamesNearTheSystemsLimits) {
    test::TempDir dir;
    // Names of up to 255 bytes, and paths of up to 4095: the temporary file's name is
    // longer than either could be.
    std::vector<std::string> outputs;
    for (const std::size_t length : {248, 255}) {
        outputs.push_back(dir.file(std::string(length - 4, 'n') + ".obj"));
    }
    std::string deep = dir.path();
    while (deep.size() < 4095 - 2 * 200) {
        deep += "/" + std::string(200, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    outputs.push_back(deep + "/" + std::string(4095 - deep.size() - 5, 'p') + ".obj");
    ASSERT_EQ(outputs.back().size(), 4095u);
    for (const std::string& out : outputs) {
        test::RunResult r = test::runTool({"1", test::cubeFile(), out});
        EXPECT_EQ(r.status, 0) << out.size() << r.err;
        EXPECT_EQ(test::parseObj(test::readFile(out)).f.size(), 24u) << out.size();
        for (const std::string& name : filesIn(std::filesystem::path(out).parent_path())) {
            EXPECT_EQ(name.find(".faceloom-"), std::string::npos) << name;
        }
    }
}

TEST(OutputFileTest, LoopOfLinksIsRefused) {
    test::TempDir dir;
    const std::string a = dir.file("a.obj"), b = dir.file("b.obj");
    ASSERT_EQ(::symlink("b.obj", a.c_str()), 0);
    ASSERT_EQ(::symlink("a.obj", b.c_str()), 0);
    test::RunResult r = test::runTool({"1", test::cubeFile(), a});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Can't write to [" + a + "]: Too many levels of symbolic links\n");
    struct stat st;
    ASSERT_EQ(::lstat(a.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(filesIn(dir.path()).size(), 2u);
}

// What the system reports only when the file is finished (a full disk on a network
// file system, a failing device) is a failure: the target stays as it was.
TEST(OutputFileTest, FailureToFinishTheFileLeavesTheTargetAlone) {
    struct FailingAt : OutputFile {
        FailingAt(const std::string& path, bool sync) : OutputFile(path), sync_(sync) {}
        int syncDescriptor(int fd) override {
            return sync_ ? (errno = EIO, -1) : OutputFile::syncDescriptor(fd);
        }
        int closeDescriptor(int fd) override {
            OutputFile::closeDescriptor(fd);
            return sync_ ? 0 : (errno = ENOSPC, -1);
        }
        bool sync_;
    };
    for (const bool sync : {true, false}) {
        test::TempDir dir;
        const std::string target = dir.file("out.obj");
        test::writeFile(target, "old\n");
        FailingAt file(target, sync);
        ASSERT_TRUE(file.open() && file.write("v 0 0 0\n", 8));
        EXPECT_FALSE(file.commit());
        EXPECT_EQ(file.error(), sync ? EIO : ENOSPC);
        EXPECT_EQ(test::readFile(target), "old\n");
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.obj"});
    }
}

}  // namespace
