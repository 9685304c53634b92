#include "MeshFormat.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <memory>

namespace faceloom {

std::optional<MeshFormat> formatOfExtension(const std::string& path) {
    const auto dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.') {
        return std::nullopt;
    }
    std::string extension = path.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (extension == "obj") {
        return MeshFormat::kObj;
    }
    if (extension == "gltf") {
        return MeshFormat::kGltf;
    }
    if (extension == "glb") {
        return MeshFormat::kGlb;
    }
    return std::nullopt;
}

MeshFormat inputFormat(const char* path) {
    const MeshFormat named = formatOfExtension(path).value_or(MeshFormat::kObj);
    // What a pipe gives can't be read twice: only regular files are looked into, and
    // anything else goes by its name.
    struct stat status;
    if (::stat(path, &status) != 0 || !S_ISREG(status.st_mode)) {
        return named;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) {
        return named;
    }
    char head[64];
    const std::size_t n = std::fread(head, 1, sizeof head, file.get());
    if (n >= 4 && head[0] == 'g' && head[1] == 'l' && head[2] == 'T' && head[3] == 'F') {
        return MeshFormat::kGlb;
    }
    std::size_t i = 0;
    // A UTF-8 byte order mark before the JSON is allowed to be skipped by readers.
    if (n >= 3 && static_cast<unsigned char>(head[0]) == 0xEF &&
        static_cast<unsigned char>(head[1]) == 0xBB &&
        static_cast<unsigned char>(head[2]) == 0xBF) {
        i = 3;
    }
    while (i < n && (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n')) {
        ++i;
    }
    if (i < n && head[i] == '{') {
        return MeshFormat::kGltf;
    }
    // Plain text that is not JSON is OBJ, whatever the name says; bytes that are not
    // text go by the name (for the loader it names to say what is wrong with them).
    for (std::size_t k = 0; k < n; ++k) {
        const auto byte = static_cast<unsigned char>(head[k]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\f' &&
            byte != '\v') {
            return named;
        }
    }
    return n > 0 ? MeshFormat::kObj : named;
}

}  // namespace faceloom
