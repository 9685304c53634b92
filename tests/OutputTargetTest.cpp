// Where the output can go: an interrupted write leaves nothing behind, descriptors
// and devices are written directly, names near the system's limits work, and what
// can't be written says why.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ObjLoader.h"
#include "OutputFile.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

using namespace faceloom;

namespace {

const std::string kCube = test::dataFile("cube_cross_layout.obj");

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Runs a shell command line with the tool's path as $0 and the cube as $1.
test::RunResult shell(const std::string& command) {
    return test::runProgram({"/bin/sh", "-c", command, test::toolPath(), kCube});
}

// A write stopped by a signal, in a child process that holds its output file open
// with bytes written: the temporary file goes, and the child dies of the signal.
TEST(OutputTargetTest, InterruptedWriteLeavesNoTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
        test::TempDir dir;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OutputFile file(dir.file("out.obj"));
            const bool writing = file.open() && file.write("v 0 0 0\n", 8);
            (void)!::write(ready[1], writing ? "y" : "n", 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        char answer = 0;
        ASSERT_EQ(::read(ready[0], &answer, 1), 1);
        ::close(ready[0]);
        ASSERT_EQ(answer, 'y');
        const std::vector<std::string> during = filesIn(dir.path());
        ASSERT_EQ(during.size(), 1u);
        EXPECT_EQ(during[0].rfind("out.obj.faceloom-", 0), 0u) << during[0];
        EXPECT_EQ(during[0].size(), std::string("out.obj.faceloom-XXXXXX.tmp").size());

        ASSERT_EQ(::kill(child, signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_TRUE(filesIn(dir.path()).empty()) << signal;
    }
}

// The progress lines reach a log as each phase passes, not when the run ends: a run
// that is stopped while it waits to write (here, for a reader of its FIFO) has shown
// the phases of the positions, which come before the writing.
TEST(OutputTargetTest, ProgressReachesTheLogBeforeTheRunEnds) {
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

TEST(OutputTargetTest, StandardOutputIsWrittenThroughItsDescriptor) {
    test::TempDir dir;
    const std::string plain = dir.file("plain.obj");
    ASSERT_EQ(test::runTool({"1", kCube, plain}).status, 0);
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

TEST(OutputTargetTest, NamesNearTheSystemsLimits) {
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
    outputs.push_back(deep + "/" + std::string(4095 - deep.size() - 1, 'p'));
    ASSERT_EQ(outputs.back().size(), 4095u);
    for (const std::string& out : outputs) {
        test::RunResult r = test::runTool({"1", kCube, out});
        EXPECT_EQ(r.status, 0) << out.size() << r.err;
        EXPECT_EQ(test::parseObj(test::readFile(out)).f.size(), 24u) << out.size();
        for (const std::string& name : filesIn(std::filesystem::path(out).parent_path())) {
            EXPECT_EQ(name.find(".faceloom-"), std::string::npos) << name;
        }
    }
}

TEST(OutputTargetTest, LoopOfLinksIsRefused) {
    test::TempDir dir;
    const std::string a = dir.file("a.obj"), b = dir.file("b.obj");
    ASSERT_EQ(::symlink("b.obj", a.c_str()), 0);
    ASSERT_EQ(::symlink("a.obj", b.c_str()), 0);
    test::RunResult r = test::runTool({"1", kCube, a});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR : Can't write to [" + a + "]: Too many levels of symbolic links\n");
    struct stat st;
    ASSERT_EQ(::lstat(a.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(filesIn(dir.path()).size(), 2u);
}

}  // namespace
