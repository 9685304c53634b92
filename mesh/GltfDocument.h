#pragma once

#include <optional>
#include <string>

#include <tiny_gltf.h>
#include <nlohmann/json.hpp>

#include "Diagnostics.h"
#include "ObjLoader.h"

namespace faceloom {

// A glTF 2.0 asset as it was read: the document as written, which the writer carries
// through (members it does not know included) with only the refined primitives
// changed, and the same document as tinygltf parses it, every buffer's bytes loaded,
// for the readers of its accessors. Images are not decoded: their bytes stay where the
// document keeps them.
struct GltfDocument {
    nlohmann::ordered_json json;
    tinygltf::Model model;
    std::string sourcePath;
    bool binary = false;  // read from a glTF binary (.glb)
};

struct GltfLoad {
    std::optional<GltfDocument> document;  // nothing when the file could not be read
    // Set when the input was too large for LoadLimits::maxBytes (see ObjLoad).
    std::optional<OversizedInput> oversized;
};

// Reads the glTF file at `path`: JSON (.gltf) or binary (.glb), told apart by the
// binary's first bytes, "glTF". Buffers in other files are read from the file's
// directory, no more of them than LoadLimits allows. Never throws: a file that
// can't be read, or isn't sound glTF (a binary whose chunks don't fit it, JSON that
// doesn't parse, a buffer missing or shorter than it says), is reported as
// "ERROR : Can't read [path]: why".
GltfLoad loadGltf(const char* path, const LoadLimits& limits, Diagnostics& diagnostics);

// The same on a file's bytes held in memory, `sourcePath` naming it and `baseDir`
// the directory its relative URIs start from. Returns nothing and sets `why` when the
// bytes are not a sound glTF document.
std::optional<GltfDocument> parseGltf(const std::string& bytes, const std::string& sourcePath,
                                      const std::string& baseDir, std::uint64_t maxBufferBytes,
                                      std::string& why);

}  // namespace faceloom
