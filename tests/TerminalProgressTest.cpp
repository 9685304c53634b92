// Long refinements show where they stand when standard error is a terminal: one line,
// rewritten in place, taken away when the phase ends. Elsewhere (a log, a pipe) the
// console lines stay exactly as they are, which every other test pins.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "support/TestSupport.h"

namespace {

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
    for (;;) {
        const ssize_t n = ::read(terminal, buffer, sizeof buffer);
        if (n > 0) {
            shown.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;  // EIO once the child has closed its side
        }
    }
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    return shown;
}

TEST(TerminalProgressTest, StepsShowOnATerminalAndAreTakenAway) {
    test::TempDir dir;
    const std::string shown =
        runOnTerminal({"3", test::dataFile("cube_cross_layout.obj"), dir.file("out.obj")});
    EXPECT_NE(shown.find("\rRefining positions  step 1/3  6 facets\033[K"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("\rRefining positions  step 3/3  96 facets\033[K"), std::string::npos)
        << shown;
    // The texture, refined beside the positions, shows its last step once the
    // positions are done.
    EXPECT_NE(shown.find("\rRefining texture  step 3/3  96 facets\033[K"), std::string::npos)
        << shown;
    // Nothing is left standing: the last thing the terminal got clears the line.
    const std::string erase = "\r\033[K";
    ASSERT_GE(shown.size(), erase.size());
    EXPECT_EQ(shown.substr(shown.size() - erase.size()), erase) << shown;
}

}  // namespace
