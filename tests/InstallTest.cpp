// `cmake --install` puts a binary that runs in the prefix's bin directory, with its
// manual page (the --help text) and its README beside it.

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

TEST(InstallTest, BinaryManualAndReadmeGoToThePrefix) {
    test::TempDir prefix;
    const test::RunResult install = test::runProgram(
        {FACELOOM_CMAKE, "--install", FACELOOM_BUILD_DIR, "--prefix", prefix.path()});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    const test::RunResult r = test::runProgram({prefix.file("bin/Faceloom"), "--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Faceloom " FACELOOM_VERSION "\n");

    const std::string manual = test::readFile(prefix.file("share/man/man1/Faceloom.1"));
    EXPECT_EQ(manual.rfind(".TH FACELOOM 1 \"\" \"Faceloom " FACELOOM_VERSION "\"", 0), 0u);
    // The help text from its "Usage :" line, every line of it, backslashes escaped.
    const std::string help = test::runTool({"--help"}).out;
    ASSERT_NE(help.find("\nUsage : "), std::string::npos);
    for (const std::string& line : test::splitLines(help.substr(help.find("\nUsage : ")))) {
        std::string roff;
        for (char c : line) {
            roff += c == '\\' ? std::string("\\e") : std::string(1, c);
        }
        EXPECT_NE(manual.find(roff), std::string::npos) << line;
    }
    EXPECT_EQ(test::readFile(prefix.file("share/doc/faceloom/README.md")),
              test::readFile(std::string(FACELOOM_SOURCE_DIR) + "/README.md"));
}

}  // namespace
