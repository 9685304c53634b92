#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>

#include "GltfDocument.h"
#include "WholeFile.h"

namespace faceloom {

namespace {

constexpr std::uint32_t kChunkJson = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kChunkBin = 0x004E4942;   // "BIN\0"

std::uint32_t readUint32(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i]));
    };
    return byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24;
}

// Where a glTF binary keeps its JSON, after checking that its header and chunks fit
// the file (tinygltf trusts the chunks' lengths further than the file may reach).
struct BinaryLayout {
    std::size_t length = 0;  // the bytes that belong to the glTF binary
    std::size_t jsonStart = 0;
    std::size_t jsonLength = 0;
};

std::string checkBinaryLayout(const std::string& bytes, BinaryLayout& layout) {
    if (bytes.size() < 12) {
        return "it is too short for a glTF binary (" + std::to_string(bytes.size()) +
               " bytes, a header needs 12)";
    }
    if (bytes.compare(0, 4, "glTF") != 0) {
        return "it is not a glTF binary (it does not begin with \"glTF\")";
    }
    if (const std::uint32_t version = readUint32(bytes, 4); version != 2) {
        return "it is a glTF binary of version " + std::to_string(version) +
               ", and only version 2 is read";
    }
    const std::uint64_t length = readUint32(bytes, 8);
    if (length > bytes.size()) {
        return "it is cut short: its header gives " + std::to_string(length) +
               " bytes, the file has " + std::to_string(bytes.size());
    }
    if (length < 20) {
        return "its header gives a length of " + std::to_string(length) +
               " bytes, too short for a JSON chunk";
    }
    const std::uint64_t jsonLength = readUint32(bytes, 12);
    if (readUint32(bytes, 16) != kChunkJson) {
        return "its first chunk is not JSON";
    }
    if (jsonLength == 0 || 20 + jsonLength > length) {
        return "its JSON chunk's length (" + std::to_string(jsonLength) +
               " bytes) does not fit the " + std::to_string(length) + " bytes of the file";
    }
    if (jsonLength % 4 != 0) {
        return "its JSON chunk's length (" + std::to_string(jsonLength) +
               " bytes) is not a multiple of 4";
    }
    const std::uint64_t binStart = 20 + jsonLength;
    if (binStart != length) {
        if (length - binStart < 8) {
            return "it ends inside the header of its second chunk";
        }
        const std::uint64_t binLength = readUint32(bytes, binStart);
        if (binLength > length - binStart - 8) {
            return "its BIN chunk's length (" + std::to_string(binLength) +
                   " bytes) runs past the end of the file";
        }
        if (readUint32(bytes, binStart + 4) != kChunkBin) {
            return "its second chunk is not BIN";
        }
    }
    layout = {static_cast<std::size_t>(length), 20, static_cast<std::size_t>(jsonLength)};
    return "";
}

// What the file callbacks may read: files in the document's directory (tinygltf
// would look in the working directory too), regular files only (never a device that
// goes on for ever), no more bytes in all than the memory allows.
struct ExternalFiles {
    std::string baseDir;
    std::uint64_t remaining = 0;
};

bool isRegularFile(const std::string& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool externalFileExists(const std::string& path, void* user) {
    const auto& files = *static_cast<const ExternalFiles*>(user);
    const std::string& dir = files.baseDir;
    const std::string prefix = dir.empty() || dir.back() == '/' ? dir : dir + "/";
    return path.compare(0, prefix.size(), prefix) == 0 && isRegularFile(path);
}

std::string keepPath(const std::string& path, void*) {
    return path;  // no expansion of '~' or variables: a URI names a file as it is
}

bool readExternalFile(std::vector<unsigned char>* out, std::string* err, const std::string& path,
                      void* user) {
    auto& files = *static_cast<ExternalFiles*>(user);
    if (!isRegularFile(path)) {
        *err = "not a regular file";
        return false;
    }
    std::string bytes;
    const WholeFileRead read = readWholeFile(path.c_str(), files.remaining, bytes);
    if (read.oversized) {
        *err = "too large for the memory available";
        return false;
    }
    if (read.error != 0) {
        *err = std::strerror(read.error);
        return false;
    }
    files.remaining -= bytes.size();
    out->assign(bytes.begin(), bytes.end());
    return true;
}

bool refuseWrite(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
    *err = "the reader writes no files";
    return false;
}

// Images are carried as they are: their bytes are never decoded.
bool keepImageUndecoded(tinygltf::Image*, const int, std::string*, std::string*, int, int,
                        const unsigned char*, int, void*) {
    return true;
}

// The first line of tinygltf's message, which may hold several.
std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line.empty() ? "it is not a sound glTF document" : line;
}

// The first non-blank byte (after a UTF-8 byte order mark) opens a JSON object.
bool startsLikeJson(const std::string& bytes) {
    std::size_t i = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    i = bytes.find_first_not_of(" \t\r\n", i);
    return i != std::string::npos && bytes[i] == '{';
}

// Required extensions that change nothing the tool reads or writes (materials,
// textures, lights, instancing, metadata: carried through as they are), and
// quantized attributes, which the accessors read.
bool honoursRequired(const std::string& name) {
    static const char* const kHonoured[] = {
        "KHR_texture_transform",  "KHR_texture_basisu",      "EXT_texture_webp",
        "EXT_texture_avif",       "MSFT_texture_dds",        "KHR_lights_punctual",
        "EXT_lights_image_based", "EXT_mesh_gpu_instancing", "KHR_mesh_quantization",
        "KHR_xmp_json_ld",        "KHR_animation_pointer",   "KHR_materials_variants"};
    if (name.compare(0, 14, "KHR_materials_") == 0) {
        return true;
    }
    for (const char* honoured : kHonoured) {
        if (name == honoured) {
            return true;
        }
    }
    return false;
}

// Why the document can't be read for a required extension, or "".
std::string requiredExtensionRefusal(const nlohmann::ordered_json& document) {
    const auto required = document.find("extensionsRequired");
    if (required == document.end() || !required->is_array()) {
        return "";
    }
    for (const auto& entry : *required) {
        const std::string name = entry.is_string() ? entry.get<std::string>() : entry.dump();
        if (honoursRequired(name)) {
            continue;
        }
        if (name == "KHR_draco_mesh_compression" || name == "EXT_meshopt_compression") {
            return "it requires " + name +
                   " (compressed geometry), which Faceloom does not read: write it uncompressed";
        }
        return "it requires the extension " + name + ", which Faceloom does not know";
    }
    return "";
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Parses the document's JSON (at `layout`) into `json`; why it can't be read, or "".
std::string parseJson(const std::string& bytes, const BinaryLayout& layout,
                      nlohmann::ordered_json& json) {
    try {
        json = nlohmann::ordered_json::parse(
            bytes.begin() + static_cast<std::ptrdiff_t>(layout.jsonStart),
            bytes.begin() + static_cast<std::ptrdiff_t>(layout.jsonStart + layout.jsonLength));
    } catch (const nlohmann::ordered_json::exception& e) {
        // The library's message, without its "[json.exception....] " tag.
        const std::string what = e.what();
        const auto tag = what.find("] ");
        return "its JSON does not parse: " +
               (tag == std::string::npos ? what : what.substr(tag + 2));
    }
    return json.is_object() ? requiredExtensionRefusal(json) : "its JSON is not an object";
}

}  // namespace

std::optional<GltfDocument> parseGltf(const std::string& bytes, const std::string& sourcePath,
                                      const std::string& baseDir, std::uint64_t maxBufferBytes,
                                      std::string& why) {
    GltfDocument document;
    document.sourcePath = sourcePath;
    document.binary = bytes.compare(0, 4, "glTF") == 0;
    BinaryLayout layout{bytes.size(), 0, bytes.size()};
    if (document.binary) {
        why = checkBinaryLayout(bytes, layout);
    } else if (!startsLikeJson(bytes)) {
        why = "it is neither a glTF binary (which begins with \"glTF\") nor glTF JSON";
    }
    if (!why.empty()) {
        return std::nullopt;
    }
    if (layout.length > std::numeric_limits<unsigned int>::max()) {
        why = "it is larger than the 4 GiB a glTF file can have";
        return std::nullopt;
    }
    why = parseJson(bytes, layout, document.json);
    if (!why.empty()) {
        return std::nullopt;
    }
    ExternalFiles files{baseDir, maxBufferBytes};
    tinygltf::TinyGLTF reader;
    reader.SetFsCallbacks(
        {&externalFileExists, &keepPath, &readExternalFile, &refuseWrite, &files});
    reader.SetImageLoader(&keepImageUndecoded, nullptr);
    std::string error, warning;
    bool read = false;
    try {
        read =
            document.binary
                ? reader.LoadBinaryFromMemory(&document.model, &error, &warning,
                                              reinterpret_cast<const unsigned char*>(bytes.data()),
                                              static_cast<unsigned int>(layout.length), baseDir)
                : reader.LoadASCIIFromString(&document.model, &error, &warning, bytes.data(),
                                             static_cast<unsigned int>(bytes.size()), baseDir);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        read = false;
        error = e.what();
    }
    if (!read) {
        why = firstLine(error);
        return std::nullopt;
    }
    return document;
}

GltfLoad loadGltf(const char* path, const LoadLimits& limits, Diagnostics& diagnostics) {
    GltfLoad load;
    try {
        std::string bytes;
        if (!readInput(path, limits.maxBytes, bytes, load.oversized, diagnostics)) {
            return load;
        }
        std::string why;
        load.document =
            parseGltf(bytes, path, directoryOf(path), limits.maxBytes - bytes.size(), why);
        if (!load.document) {
            diagnostics.error("ERROR : Can't read [" + std::string(path) + "]: " + why);
        }
    } catch (const std::bad_alloc&) {
        load.document.reset();
        diagnostics.error("ERROR : Not enough memory to read [" + std::string(path) + "]");
    }
    return load;
}

}  // namespace faceloom
