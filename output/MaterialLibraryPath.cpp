#include "MaterialLibraryPath.h"

#include <cctype>
#include <filesystem>
#include <sstream>
#include <vector>

namespace faceloom {

namespace fs = std::filesystem;

namespace {

fs::path directoryOf(const std::string& file) {
    std::error_code ec;
    fs::path dir = fs::absolute(fs::path(file), ec).parent_path();
    // Through symbolic links to where the directory really is, as far as it exists.
    fs::path real = fs::weakly_canonical(dir, ec);
    return ec ? dir.lexically_normal() : real;
}

bool endsWithMtl(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string ending = name.substr(name.size() - 4);
    for (char& c : ending) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ending == ".mtl";
}

// One line may name several libraries, but a single name may hold blanks too: the
// text counts as several names only when every blank-separated part is a .mtl file.
std::vector<std::string> libraryNames(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> names;
    for (std::string word; words >> word;) {
        names.push_back(word);
    }
    for (const std::string& name : names) {
        if (!endsWithMtl(name)) {
            return {text};
        }
    }
    return names.size() > 1 ? names : std::vector<std::string>{text};
}

// `name` from the directory `to` instead of `from`.
std::string relocated(const std::string& name, const fs::path& from, const fs::path& to) {
    fs::path path(name);
    if (!path.is_absolute()) {
        const fs::path target = (from / path).lexically_normal();
        const fs::path relative = target.lexically_relative(to);
        path = relative.empty() ? target : relative;
    }
    return path.string();
}

}  // namespace

std::string pathFromOutput(const std::string& path, const std::string& inputPath,
                           const std::string& outputPath) {
    const fs::path from = directoryOf(inputPath);
    const fs::path to = directoryOf(outputPath);
    return from == to || path.empty() ? path : relocated(path, from, to);
}

std::string rewriteMaterialLibraries(const std::string& libraries, const std::string& inputPath,
                                     const std::string& outputPath) {
    const fs::path from = directoryOf(inputPath);
    const fs::path to = directoryOf(outputPath);
    if (from == to || libraries.empty()) {
        return libraries;
    }
    std::string rewritten;
    for (const std::string& name : libraryNames(libraries)) {
        rewritten += (rewritten.empty() ? "" : " ") + relocated(name, from, to);
    }
    return rewritten;
}

}  // namespace faceloom
