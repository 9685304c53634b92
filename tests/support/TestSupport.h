#pragma once

#include <string>
#include <vector>

// Helpers shared by the tests: scratch directories, files, and running the real
// Faceloom binary the way a user would.

namespace test {

// A fresh directory, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool fileExists(const std::string& path);

// Path of a file under tests/data.
std::string dataFile(const std::string& name);
// Path of the Faceloom binary under test.
std::string toolPath();

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number when killed by a signal
    std::string out;
    std::string err;
};

// Runs a program (argv[0] is looked up in PATH when it has no '/') with standard
// input from /dev/null and captures both output streams.
// With `oneStream`, both streams go to one file, as `2>&1` sends them, and `out`
// holds them both in the order they reached it.
RunResult runProgram(const std::vector<std::string>& argv, bool oneStream = false);
// Runs Faceloom with the given arguments.
RunResult runTool(const std::vector<std::string>& args);
// Runs Faceloom with both output streams into one file.
RunResult runToolOneStream(const std::vector<std::string>& args);

// Splits text into lines at '\n' (a last line without one is kept).
std::vector<std::string> splitLines(const std::string& text);

}  // namespace test
