// The command line: usage paths, the step count and its warning.

#include <gtest/gtest.h>

#include <climits>

#include "app/CommandLine.h"
#include "support/TestSupport.h"

namespace {

const char kExample[] =
    "Example : Faceloom 3 foo.obj bar.obj\n\tI will subdivide the \"foo.obj\" with 3 step then "
    "write "
    "to \"bar.obj\"";

std::string usage(int argc) {
    return "[" + std::to_string(argc) + "] argcs\n" + kExample;
}

TEST(CommandLineTest, UsageForTooFewArgumentsOrHelp) {
    struct Case {
        std::vector<std::string> args;
        int argc;
    };
    test::TempDir dir;
    const std::string input = dir.file("never_read.obj");  // does not exist: nothing is read
    const std::vector<Case> cases = {
        {{}, 1},
        {{"-h"}, 2},
        {{"--help"}, 2},
        {{"3", input}, 3},
        {{"-h", input, dir.file("out.obj")}, 4},
        {{"--help", input, dir.file("out.obj"), "extra"}, 5},
    };
    for (const auto& c : cases) {
        test::RunResult r = test::runTool(c.args);
        EXPECT_EQ(r.status, 255) << c.argc;  // -1
        EXPECT_EQ(r.out, usage(c.argc));
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
    }
}

TEST(CommandLineTest, StepCountConversion) {
    EXPECT_EQ(parseStepCount("1"), 1);
    EXPECT_EQ(parseStepCount("6"), 6);
    EXPECT_EQ(parseStepCount("2.9"), 2);
    EXPECT_EQ(parseStepCount("4x"), 4);
    EXPECT_EQ(parseStepCount(" \t+5"), 5);
    EXPECT_EQ(parseStepCount("-1"), -1);
    EXPECT_EQ(parseStepCount("word"), 0);
    EXPECT_EQ(parseStepCount(""), 0);
    EXPECT_EQ(parseStepCount("-help"), 0);
    EXPECT_EQ(parseStepCount("-H"), 0);
    EXPECT_EQ(parseStepCount("2147483647"), INT_MAX);
    // Out of int's range: clamped instead of atoi's undefined behaviour, and a
    // number that would wrap to a valid count must not become one.
    EXPECT_EQ(parseStepCount("4294967299"), INT_MAX);
    EXPECT_EQ(parseStepCount("99999999999999999999999"), INT_MAX);
    EXPECT_EQ(parseStepCount("-99999999999999999999999"), INT_MIN);
    EXPECT_TRUE(isHelpSwitch("-h"));
    EXPECT_TRUE(isHelpSwitch("--help"));
    EXPECT_FALSE(isHelpSwitch("-H"));
    EXPECT_FALSE(isHelpSwitch("-help"));
    EXPECT_FALSE(isHelpSwitch("--helpme"));
}

}  // namespace

namespace {

const char kWarning[] = "Warning : Steps number is not valid, I will use 3\n";

TEST(CommandLineTest, StepsOutOfRangeWarnOnceAndUseThree) {
    test::TempDir dir;
    const std::string input = test::dataFile("cube_cross_layout.obj");
    for (const char* steps : {"0", "7", "-1", "word", "-help", "-H", "4294967299"}) {
        test::RunResult r = test::runTool({steps, input, dir.file("out.obj")});
        EXPECT_EQ(r.out.rfind(kWarning, 0), 0u) << steps;
        EXPECT_EQ(r.out.find(kWarning, 1), std::string::npos) << steps;
    }
    for (const char* steps : {"1", "6", "2.9", "4x"}) {
        test::RunResult r =
            test::runTool({steps, test::dataFile("absent.obj"), dir.file("out.obj")});
        EXPECT_EQ(r.out.find("Warning"), std::string::npos) << steps;
    }
}

TEST(CommandLineTest, MissingInputIsReportedWhateverFollows) {
    test::TempDir dir;
    const std::string input = dir.file("absent.obj");
    test::RunResult r = test::runTool({"2", input, dir.file("out.obj"), "ignored", "also ignored"});
    EXPECT_EQ(r.err.rfind("ERROR : Can't Find [" + input + "]\n", 0), 0u) << r.err;
}

}  // namespace
