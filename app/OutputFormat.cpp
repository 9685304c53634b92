#include "OutputFormat.h"

#include <sys/stat.h>

namespace faceloom {

std::optional<MeshFormat> outputFormat(const std::string& path) {
    if (const std::optional<MeshFormat> named = formatOfExtension(path)) {
        return named;
    }
    if (path == "-" || path == "/dev/stdout" || path == "/dev/stderr" ||
        path.compare(0, 8, "/dev/fd/") == 0 || path.compare(0, 14, "/proc/self/fd/") == 0) {
        return MeshFormat::kObj;
    }
    struct stat status;
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode) &&
        !S_ISDIR(status.st_mode)) {
        return MeshFormat::kObj;
    }
    return std::nullopt;
}

std::string outputFormatRefusal(const std::string& path) {
    return "ERROR : Can't tell what to write to [" + path +
           "]: its extension names no format Faceloom writes: .obj (Wavefront OBJ), .gltf "
           "(glTF, its data in a .bin file beside it) or .glb (glTF binary)";
}

}  // namespace faceloom
