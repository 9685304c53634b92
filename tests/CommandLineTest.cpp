// The command line: usage paths, the step count and its warning.

#include <gtest/gtest.h>

#include <climits>

#include "CommandLine.h"
#include "support/TestSupport.h"

using namespace faceloom;

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
        bool help;  // the help text follows the usage text
    };
    test::TempDir dir;
    const std::string input = dir.file("never_read.obj");  // does not exist: nothing is read
    const std::vector<Case> cases = {
        {{}, 1, false},
        {{"-h"}, 2, true},
        {{"--help"}, 2, true},
        {{"3", input}, 3, false},
        {{"-h", input, dir.file("out.obj")}, 4, true},
        {{"--help", input, dir.file("out.obj"), "extra"}, 5, true},
    };
    const std::string help = test::runTool({"--help"}).out.substr(usage(2).size());
    ASSERT_EQ(help.rfind("\n", 0), 0u);  // the usage text ends without a line feed
    for (const auto& c : cases) {
        test::RunResult r = test::runTool(c.args);
        EXPECT_EQ(r.status, 255) << c.argc;  // -1
        // The usage text byte for byte, then for -h and --help the help.
        EXPECT_EQ(r.out, usage(c.argc) + (c.help ? help : ""));
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
    }
}

// The lines of `text` from the first one that starts with `first` up to, not
// including, the next one that starts with `next`.
std::vector<std::string> block(const std::string& text, const std::string& first,
                               const std::string& next) {
    std::vector<std::string> lines;
    bool in = false;
    for (const std::string& line : test::splitLines(text)) {
        if (line.rfind(first, 0) == 0) {
            in = true;
        } else if (in && line.rfind(next, 0) == 0) {
            break;
        }
        if (in) {
            lines.push_back(line);
        }
    }
    return lines;
}

// True when one of `lines`, less its indent, starts with the word `word`.
bool startsALine(const std::vector<std::string>& lines, const std::string& word) {
    for (const std::string& line : lines) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos && line.compare(start, word.size(), word) == 0 &&
            (line.size() == start + word.size() || line[start + word.size()] == ' ')) {
            return true;
        }
    }
    return false;
}

TEST(CommandLineTest, HelpNamesEveryOptionValueAndExitStatus) {
    const test::RunResult r = test::runTool({"--help"});
    ASSERT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "");
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), '\n');
    const std::string help = r.out.substr(usage(2).size());
    struct Option {
        std::string name;
        std::string next;  // the line that ends its list of values
        std::vector<std::string> values;
    };
    const std::vector<Option> options = {
        {"  --uv-smooth=MODE",
         "  --boundary-smooth",
         {"none", "keep-corners", "keep-corners-junctions", "keep-corners-junctions-concave",
          "keep-boundaries", "all"}},
        {"  --boundary-smooth=MODE", "Exit status", {"all", "keep-corners"}},
    };
    for (const Option& option : options) {
        const std::vector<std::string> lines = block(help, option.name, option.next);
        ASSERT_FALSE(lines.empty()) << option.name;
        for (const std::string& value : option.values) {
            EXPECT_TRUE(startsALine(lines, value)) << option.name << " " << value;
        }
        EXPECT_TRUE(lines.size() > 1 &&
                    r.out.find("(the default)", r.out.find(option.name)) < r.out.find(option.next))
            << option.name << " names no default";
    }
    const std::vector<std::string> statuses = block(help, "Exit status", "Example");
    for (const char* status : {"0", "1", "255"}) {
        EXPECT_TRUE(startsALine(statuses, status)) << status;
    }
    EXPECT_TRUE(startsALine(block(help, "Options", "Exit status"), "--version"));
    EXPECT_TRUE(startsALine(block(help, "Example", "-"), "Faceloom"));
}

TEST(CommandLineTest, VersionIsPrintedWithStatusZero) {
    test::TempDir dir;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--version"},
          std::vector<std::string>{"--version", "2", test::dataFile("single_quad.obj"),
                                   dir.file("out.obj")},
          std::vector<std::string>{"2", test::dataFile("single_quad.obj"), dir.file("out.obj"),
                                   "--version"}}) {
        const test::RunResult r = test::runTool(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "Faceloom " FACELOOM_VERSION "\n");
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(test::fileExists(dir.file("out.obj")));
    }
    // After "--" it is a path like any other.
    const test::RunResult late = test::runTool({"--", "2", "--version", dir.file("out.obj")});
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.err.rfind("ERROR : Can't Find [--version]", 0), 0u) << late.err;
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
    const std::string input = test::cubeFile();
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

TEST(CommandLineTest, OptionsStandAnywhereAndDefaultsKeepTheBytes) {
    test::TempDir dir;
    const std::string input = test::cubeFile();
    const std::string plain = dir.file("plain.obj"), out = dir.file("out.obj");
    ASSERT_EQ(test::runTool({"2", input, plain}).status, 0);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--uv-smooth=all", "2", input, out},
          std::vector<std::string>{"2", input, out, "--boundary-smooth", "all"},
          std::vector<std::string>{"2", "--uv-smooth", "all", input, "--boundary-smooth=all", out},
          std::vector<std::string>{"--uv-smooth=all", "--", "2", input, out}}) {
        const test::RunResult r = test::runTool(args);
        EXPECT_EQ(r.status, 0) << args[0] << r.err;
        EXPECT_EQ(test::readFile(out), test::readFile(plain)) << args[0];
    }
    // A mode that changes the texture, given in both forms, gives the same file.
    ASSERT_EQ(test::runTool({"2", input, plain, "--uv-smooth=none"}).status, 0);
    ASSERT_EQ(test::runTool({"--uv-smooth", "none", "2", input, out}).status, 0);
    EXPECT_EQ(test::readFile(out), test::readFile(plain));
}

TEST(CommandLineTest, UnknownOptionsAndModesAreRefusedBeforeAnyWork) {
    struct Case {
        std::vector<std::string> options;
        std::string message;
    };
    const std::string uvModes =
        "none, keep-corners, keep-corners-junctions, keep-corners-junctions-concave, "
        "keep-boundaries, all";
    const std::vector<Case> cases = {
        {{"--uv-smooth=sharp"},
         "ERROR : Unknown value [sharp] for [--uv-smooth]: use one of " + uvModes},
        {{"--boundary-smooth=none"},
         "ERROR : Unknown value [none] for [--boundary-smooth]: use one of all, keep-corners"},
        {{"--uv-smooth=ALL"},
         "ERROR : Unknown value [ALL] for [--uv-smooth]: use one of " + uvModes},
        {{"--smooth=all"},
         "ERROR : Unknown option [--smooth]: the options are --uv-smooth=MODE, "
         "--boundary-smooth=MODE, --scheme=TYPE, --limit-surface and --normals (see --help)"},
    };
    test::TempDir dir;
    const std::string out = dir.file("out.obj");
    test::writeFile(out, "kept");
    for (const Case& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"2", test::cubeFile(), out});
        const test::RunResult r = test::runTool(args);
        EXPECT_EQ(r.status, 1) << c.options[0];
        EXPECT_EQ(r.out, "") << c.options[0];
        EXPECT_EQ(r.err, c.message + "\n");
        EXPECT_EQ(test::readFile(out), "kept");
    }
    // A mode option last, with its value missing.
    const test::RunResult missing =
        test::runTool({"2", test::cubeFile(), out, "--uv-smooth"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "ERROR : Option [--uv-smooth] needs a value: one of " + uvModes + "\n");
    EXPECT_EQ(test::readFile(out), "kept");
}

}  // namespace
