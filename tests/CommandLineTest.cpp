// The command line: usage and help, the version, the step count and its warning, and
// the options wherever they stand.

#include <gtest/gtest.h>

#include <tuple>

#include "support/TestSupport.h"

namespace {

std::string usage(int argc) {
    return "[" + std::to_string(argc) +
           "] argcs\nExample : Faceloom 3 foo.obj bar.obj\n\tI will "
           "subdivide the \"foo.obj\" with 3 step then write to \"bar.obj\"";
}

// The part of `text` from the line that starts with `first` up to the next one that
// starts with `next`.
std::string section(const std::string& text, const std::string& first, const std::string& next) {
    const std::size_t start = text.find("\n" + first);
    return start == std::string::npos
               ? ""
               : text.substr(start, text.find("\n" + next, start + 1) - start);
}

// Too few arguments, or -h or --help first, print the usage text byte for byte,
// counting the arguments, and for -h and --help the help after it: status 255.
// --version anywhere before "--" prints the version: status 0. Nothing is read.
TEST(CommandLineTest, UsageHelpOrVersionInsteadOfAnyWork) {
    test::TempDir dir;
    const std::string input = dir.file("never_read.obj"), out = dir.file("out.obj");
    const std::string help = test::runTool({"--help"}).out.substr(usage(2).size());
    const std::string version = "Faceloom " FACELOOM_VERSION "\n";
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{}, 255, usage(1)},
        {{"-h"}, 255, usage(2) + help},
        {{"3", input}, 255, usage(3)},
        {{"-h", input, out}, 255, usage(4) + help},
        {{"--help", input, out, "extra"}, 255, usage(5) + help},
        {{"--version"}, 0, version},
        {{"--version", "2", input, out}, 0, version},
        {{"2", input, out, "--version"}, 0, version},
    };
    for (const auto& [args, status, text] : cases) {
        const test::RunResult r = test::runTool(args);
        EXPECT_EQ(r.status, status) << text;
        EXPECT_EQ(r.out, text);
        EXPECT_EQ(r.err, "");
        EXPECT_FALSE(test::fileExists(out));
    }
    // After "--" it is a path like any other.
    const test::RunResult late = test::runTool({"--", "2", "--version", out});
    EXPECT_EQ(late.status, 1);
    EXPECT_EQ(late.err.rfind("ERROR : Can't Find [--version]", 0), 0u) << late.err;
}

// The help names every option, every value of the modes and which is the default, the
// exit statuses and an example.
TEST(CommandLineTest, HelpNamesEveryOptionValueAndExitStatus) {
    const std::string help = test::runTool({"--help"}).out;
    const std::vector<std::pair<std::string, std::vector<std::string>>> options = {
        {"  --uv-smooth=MODE",
         {"none", "keep-corners", "keep-corners-junctions", "keep-corners-junctions-concave",
          "keep-boundaries", "all"}},
        {"  --boundary-smooth=MODE", {"all", "keep-corners"}},
        {"  --scheme=TYPE", {"catmull-clark", "simple"}},
    };
    for (const auto& [option, values] : options) {
        const std::string text = section(help, option, "  --");
        EXPECT_NE(text.find("(the default)"), std::string::npos) << option;
        for (const std::string& value : values) {
            EXPECT_NE(text.find("\n    " + value + " "), std::string::npos) << value;
        }
    }
    for (const char* status : {"\n  0 ", "\n  1 ", "\n  255 "}) {
        EXPECT_NE(section(help, "Exit status", "Example").find(status), std::string::npos);
    }
    const std::string listed = section(help, "Options", "Exit status");
    for (const char* option : {"\n  --version ", "\n  --limit-surface ", "\n  --normals "}) {
        EXPECT_NE(listed.find(option), std::string::npos) << option;
    }
    EXPECT_NE(help.find("\n  Faceloom ", help.find("\nExample")), std::string::npos);
    EXPECT_EQ(help.back(), '\n');
}

// The step count is read as atoi reads it, but clamped where atoi would wrap: a count
// outside 1 to 6 is warned about once and 3 is used, which is no error.
TEST(CommandLineTest, StepCountsOutOfRangeWarnOnceAndUseThree) {
    const std::string warning = "Warning : Steps number is not valid, I will use 3\n";
    const std::vector<std::pair<std::string, int>> cases = {
        {"1", 1},          {"6", 6},
        {"2.9", 2},        {"4x", 4},
        {" \t+5", 5},      {"0", 0},
        {"7", 0},          {"-1", 0},
        {"word", 0},       {"", 0},
        {"-help", 0},      {"-H", 0},
        {"4294967299", 0}, {"99999999999999999999999", 0},
        {"-4294967295", 0}};
    test::TempDir dir;
    for (const auto& [steps, used] : cases) {
        const test::RunResult r =
            test::runTool({steps, test::dataFile("single_quad.obj"), dir.file("out.obj")});
        EXPECT_EQ(r.status, 0) << steps << r.err;
        const std::string finish = "Finish [" + std::to_string(used ? used : 3) + "] Steps";
        EXPECT_EQ(r.out.rfind(warning, 0) == 0, used == 0) << steps;
        EXPECT_EQ(r.out.find(warning, 1), std::string::npos) << steps;
        EXPECT_NE(r.out.find(finish), std::string::npos) << steps << "\n" << r.out;
    }
}

TEST(CommandLineTest, OptionsStandAnywhereAndDefaultsKeepTheBytes) {
    test::TempDir dir;
    const std::string input = test::cubeFile();
    const std::string plain = dir.file("plain.obj"), out = dir.file("out.obj");
    ASSERT_EQ(test::runTool({"2", input, plain}).status, 0);
    const std::vector<std::vector<std::string>> runs = {
        {"--uv-smooth=all", "2", input, out},
        {"2", input, out, "--boundary-smooth", "all"},
        {"2", "--uv-smooth", "all", input, "--boundary-smooth=all", out},
        {"--uv-smooth=all", "--", "2", input, out}};
    for (const std::vector<std::string>& args : runs) {
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
    test::TempDir dir;
    const std::string out = dir.file("out.obj"), cube = test::cubeFile();
    const std::string uvModes =
        "none, keep-corners, keep-corners-junctions, keep-corners-junctions-concave, "
        "keep-boundaries, all";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--uv-smooth=sharp", "2", cube, out},
         "Unknown value [sharp] for [--uv-smooth]: use one of " + uvModes},
        {{"--boundary-smooth=none", "2", cube, out},
         "Unknown value [none] for [--boundary-smooth]: use one of all, keep-corners"},
        {{"--uv-smooth=ALL", "2", cube, out},
         "Unknown value [ALL] for [--uv-smooth]: use one of " + uvModes},
        // A mode option last, with its value missing.
        {{"2", cube, out, "--uv-smooth"}, "Option [--uv-smooth] needs a value: one of " + uvModes},
        {{"--normals=yes", "2", cube, out},
         "Option [--normals] takes no value, [yes] given: write --normals alone"},
        {{"--limit-surface=", "2", cube, out},
         "Option [--limit-surface] takes no value, [] given: write --limit-surface alone"},
        {{"--scheme=loop", "2", cube, out},
         "Unknown value [loop] for [--scheme]: use one of catmull-clark, simple"},
        {{"--scheme=simple", "--scheme", "catmull-clark", "2", cube, out},
         "Option [--scheme] given twice, as [simple] and [catmull-clark]: give it once"},
        {{"--uv-smooth=none", "--normals", "--uv-smooth=all", "2", cube, out},
         "Option [--uv-smooth] given twice, as [none] and [all]: give it once"},
        {{"--normal", "2", cube, out},
         "Unknown option [--normal]: the options are --uv-smooth=MODE, --boundary-smooth=MODE, "
         "--scheme=TYPE, --limit-surface and --normals (see --help)"},
    };
    test::writeFile(out, "kept");
    for (const auto& [args, message] : cases) {
        const test::RunResult r = test::runTool(args);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err, "ERROR : " + message + "\n");
        EXPECT_EQ(test::readFile(out), "kept");
    }
    // The same value twice, and switches twice, are one request.
    const test::RunResult twice = test::runTool(
        {"--scheme=simple", "--scheme=simple", "--normals", "--normals", "1", cube, out});
    EXPECT_EQ(twice.status, 0) << twice.err;
}

}  // namespace
