#include "support/TestSupport.h"

#include "ObjLoader.h"
#include "support/RecordedDiagnostics.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "faceloom-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests may have made parts read-only; give them back before removing.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec)) {
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
    }
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
    if (!out.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool fileExists(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string dataFile(const std::string& name) {
    return std::string(FACELOOM_TEST_DATA) + "/" + name;
}

std::string exampleFile(const std::string& name) {
    return std::string(FACELOOM_SOURCE_DIR) + "/examples/" + name;
}

faceloom::ObjMesh loadMesh(const std::string& path) {
    RecordedDiagnostics ignored;
    return faceloom::loadObj(path.c_str(), {}, ignored).mesh.value_or(faceloom::ObjMesh{});
}

std::string toolPath() {
    return FACELOOM_BINARY;
}

RunResult runProgram(const std::vector<std::string>& argv, bool oneStream) {
    TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (oneStream) {
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }

    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
    int wstatus = 0;
    rusage usage{};
    while (::wait4(pid, &wstatus, 0, &usage) < 0) {
    }
    RunResult result;
    result.peakResident = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    result.out = readFile(outPath);
    result.err = oneStream ? "" : readFile(errPath);
    return result;
}

RunResult runTool(const std::vector<std::string>& args, bool oneStream) {
    std::vector<std::string> argv{toolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv, oneStream);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

RunResult runToolAfter(const std::string& setup, const std::vector<std::string>& args) {
    std::string command = setup + "; exec \"$0\"";
    for (std::size_t i = 0; i < args.size(); ++i) {
        command += " \"$" + std::to_string(i + 1) + "\"";
    }
    std::vector<std::string> argv{"/bin/sh", "-c", command, toolPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProgram(argv);
}

std::string maskTimes(const std::string& out) {
    // Each time is "[seconds.micros]": digits, a point and exactly six digits.
    const auto digits = [&out](std::size_t from, std::size_t to) {
        return to <= out.size() && to > from &&
               std::all_of(out.begin() + static_cast<std::ptrdiff_t>(from),
                           out.begin() + static_cast<std::ptrdiff_t>(to),
                           [](char c) { return c >= '0' && c <= '9'; });
    };
    std::string masked;
    std::size_t i = 0;
    while (i < out.size()) {
        const std::size_t point = out.find('.', i + 1);
        const std::size_t close = point + 7;
        if (out[i] == '[' && point != std::string::npos && digits(i + 1, point) &&
            digits(point + 1, close) && close < out.size() && out[close] == ']') {
            masked += "[t]";
            i = close + 1;
        } else {
            masked += out[i++];
        }
    }
    return masked;
}

std::string quadGrid(int n, bool textured) {
    std::string text;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            const std::string xy = std::to_string(i) + " " + std::to_string(j);
            text += "v " + xy + " 0\n" + (textured ? "vt " + xy + "\n" : "");
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int a = j * (n + 1) + i + 1;
            text += "f";
            for (const int k : {a, a + 1, a + n + 2, a + n + 1}) {
                text += " " + std::to_string(k) + (textured ? "/" + std::to_string(k) : "");
            }
            text += "\n";
        }
    }
    return text;
}

std::string assimpProblem(const std::string& path) {
    const RunResult r = runProgram({kAssimp, "info", path});
    return r.status == 0 ? "" : r.out + r.err;
}

}  // namespace test
