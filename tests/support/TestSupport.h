#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ObjMesh.h"

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

// Path of a file under tests/data, and of one under examples/.
std::string dataFile(const std::string& name);
std::string exampleFile(const std::string& name);
// The bundled example: a textured cube whose texture is laid out as a cross.
inline std::string cubeFile() {
    return exampleFile("textured_cube.obj");
}
// Loads an OBJ file; its messages are dropped, and a file that can't be read is an
// empty record.
faceloom::ObjMesh loadMesh(const std::string& path);

// Path of the Faceloom binary under test.
std::string toolPath();

struct RunResult {
    int status = -1;  // exit status, or 128 + signal number when killed by a signal
    std::string out;
    std::string err;
    std::uint64_t peakResident = 0;  // bytes: the most the process held, as wait4 says
};

// Runs a program (argv[0] is looked up in PATH when it has no '/') with standard
// input from /dev/null and captures both output streams.
// With `oneStream`, both streams go to one file, as `2>&1` sends them, and `out`
// holds them both in the order they reached it.
RunResult runProgram(const std::vector<std::string>& argv, bool oneStream = false);
// Runs Faceloom with the given arguments.
RunResult runTool(const std::vector<std::string>& args, bool oneStream = false);

// Splits text into lines at '\n' (a last line without one is kept).
std::vector<std::string> splitLines(const std::string& text);

// Runs Faceloom through the shell, after `setup` (ulimit, umask, trap and the like).
RunResult runToolAfter(const std::string& setup, const std::vector<std::string>& args);

// The progress lines of a run with their processor times masked as "[t]".
std::string maskTimes(const std::string& out);

// A flat n x n grid of unit quads whose texture coordinates equal their positions'
// (x, y); without texture when `textured` is false.
std::string quadGrid(int n, bool textured = true);

// Another OBJ reader: assimp's command line. Its verdict on a written file is empty
// when the file loads.
const std::string kAssimp = "/usr/bin/assimp";
std::string assimpProblem(const std::string& path);

}  // namespace test
