// Where the output goes and what a failure leaves: a failed or interrupted run leaves
// no half-written file and never destroys the one that was there, descriptors and
// devices are written directly, links and permissions are kept, and what can't be
// written says why.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

bool isLink(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::vector<std::string> filesIn(const std::string& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

std::size_t facetsIn(const std::string& path) {
    return test::parseObj(test::readFile(path)).f.size();
}

// Runs a shell command line with the tool's path as $0 and the cube as $1.
test::RunResult shell(const std::string& command) {
    return test::runProgram({"/bin/sh", "-c", command, test::toolPath(), test::cubeFile()});
}

// A run that fails, whether on the mesh or part way through writing, ends with status 1
// and leaves the file that was there as it was, with no temporary beside it.
TEST(OutputFileTest, FailedRunLeavesTheExistingFileAlone) {
    test::TempDir dir;
    const std::string out = dir.file("out.obj"), precious = "precious\ncontents\n";
    test::writeFile(out, precious);
    struct Case {
        std::string setup, steps, input, err;  // no `err`: any message
    };
    const Case cases[] = {
        {":", "1", test::dataFile("index_out_of_range.obj"), ""},
        {":", "1", test::dataFile("skipped_keywords.obj"),  // no face left to build
         "ERROR : NULL Mesh\nERROR : NULL 2D Data\n"},
        // A file size limit stands in for a full disk.
        {"trap '' XFSZ; ulimit -f 4", "3", test::cubeFile(),
         "ERROR : Can't write to [" + out + "]: File too large\n"},
    };
    for (const Case& c : cases) {
        const test::RunResult r = test::runToolAfter(c.setup, {c.steps, c.input, out});
        EXPECT_EQ(r.status, 1) << c.input;
        EXPECT_TRUE(c.err.empty() ? !r.err.empty() : r.err == c.err) << r.err;
        EXPECT_EQ(test::readFile(out), precious) << c.input;
        EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"out.obj"});
    }
}

// The system's reason, in the tool's words; nothing is created.
TEST(OutputFileTest, WhatCantBeWrittenSaysWhy) {
    test::TempDir dir, loop;
    ASSERT_EQ(::symlink("b.obj", loop.file("a.obj").c_str()), 0);
    ASSERT_EQ(::symlink("a.obj", loop.file("b.obj").c_str()), 0);
    // Permissions don't stop root; a directory of /proc stops everyone.
    std::string locked = "/proc/self/faceloom-out.obj", reason = "No such file or directory";
    if (::geteuid() != 0) {
        ASSERT_EQ(::mkdir(dir.file("locked").c_str(), 0555), 0);
        locked = dir.file("locked/out.obj");
        reason = "Permission denied";
    }
    std::vector<std::pair<std::string, std::string>> cases = {
        {"/dev/full", "No space left on device"},
        {locked, reason},
        {dir.file("no/such/dir/out.obj"), "No such file or directory"},
        {loop.file("a.obj"), "Too many levels of symbolic links"},
    };
    // A file its owner made read-only is not replaced, though its directory allows it.
    const std::string readOnly = dir.file("read-only.obj");
    if (::geteuid() != 0) {
        test::writeFile(readOnly, "kept\n");
        ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
        cases.push_back({readOnly, "Permission denied"});
    }
    for (const auto& [out, why] : cases) {
        const test::RunResult r = test::runTool({"1", test::cubeFile(), out});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ERROR : Can't write to [" + out + "]: " + why + "\n");
    }
    EXPECT_FALSE(test::fileExists(locked));
    if (::geteuid() != 0) {
        EXPECT_EQ(test::readFile(readOnly), "kept\n");
    }
    EXPECT_TRUE(isLink(loop.file("a.obj")));
    EXPECT_EQ(filesIn(loop.path()).size(), 2u);
}

// The output replaces the file its path names: through a link, with that file's
// permissions, after the input (the same file) was read. A new file gets what the
// umask leaves of 0666.
TEST(OutputFileTest, ReplacedFileKeepsItsLinksAndPermissions) {
    test::TempDir dir;
    const std::string real = dir.file("real.obj"), link = dir.file("link.obj");
    test::writeFile(real, test::readFile(test::cubeFile()));
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(::symlink("real.obj", link.c_str()), 0);
    const test::RunResult r = test::runTool({"1", link, link});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(isLink(link));
    EXPECT_EQ(facetsIn(real), 24u);
    EXPECT_EQ(modeOf(real) & 07777, 0640u);

    const std::string dangling = dir.file("dangling.obj"), created = dir.file("created.obj");
    ASSERT_EQ(::symlink("created.obj", dangling.c_str()), 0);
    EXPECT_EQ(test::runToolAfter("umask 002", {"1", test::cubeFile(), dangling}).status, 0);
    EXPECT_EQ(facetsIn(created), 24u);
    EXPECT_EQ(modeOf(created) & 07777, 0664u);
    EXPECT_EQ(filesIn(dir.path()).size(), 4u);  // no temporary file left
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

// Standard output and devices are written as they are: ">>" appends, a pipe takes the
// bytes, /dev/null stays a device. The console lines go to standard error then, so that
// the OBJ stays clean.
TEST(OutputFileTest, DescriptorsAndDevicesAreWrittenDirectly) {
    test::TempDir dir;
    const std::string plain = dir.file("plain.obj"), log = dir.file("log.txt");
    ASSERT_EQ(test::runTool({"1", test::cubeFile(), plain}).status, 0);
    const std::string obj = test::readFile(plain);
    for (const std::string name : {"/dev/stdout", "-", "/dev/fd/1", "/proc/self/fd/1"}) {
        test::writeFile(log, "old\n");
        const test::RunResult r = shell("exec \"$0\" 1 \"$1\" " + name + " >> " + log);
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(test::readFile(log), "old\n" + obj) << name;
        EXPECT_NE(r.err.find("Begin To Build Polyhedron Mesh\n"), std::string::npos) << name;
    }
    const test::RunResult piped = shell("\"$0\" 1 \"$1\" - | cat > " + dir.file("piped.obj"));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(test::readFile(dir.file("piped.obj")), obj);
    const test::RunResult device = test::runTool({"1", test::cubeFile(), "/dev/null"});
    EXPECT_EQ(device.status, 0) << device.err;
    EXPECT_TRUE(S_ISCHR(modeOf("/dev/null")));
}

// A name of 255 bytes and a path of 4095, the system's limits: the temporary file's
// name is longer than either could be.
TEST(OutputFileTest, NamesNearTheSystemsLimits) {
    test::TempDir dir;
    std::string deep = dir.path();
    while (deep.size() < 4095 - 2 * 200) {
        deep += "/" + std::string(200, 'd');
        ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
    }
    const std::string longest = deep + "/" + std::string(4095 - deep.size() - 5, 'p') + ".obj";
    ASSERT_EQ(longest.size(), 4095u);
    for (const std::string& out : {dir.file(std::string(251, 'n') + ".obj"), longest}) {
        const test::RunResult r = test::runTool({"1", test::cubeFile(), out});
        EXPECT_EQ(r.status, 0) << out.size() << r.err;
        EXPECT_EQ(facetsIn(out), 24u) << out.size();
        for (const std::string& name : filesIn(std::filesystem::path(out).parent_path())) {
            EXPECT_EQ(name.find(".faceloom-"), std::string::npos) << name;
        }
    }
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
