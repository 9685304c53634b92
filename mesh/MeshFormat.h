#pragma once

#include <optional>
#include <string>

namespace faceloom {

// The file formats the tool reads and writes.
enum class MeshFormat {
    kObj,   // Wavefront OBJ text
    kGltf,  // glTF 2.0 JSON (.gltf), its binary data in other files or data URIs
    kGlb,   // glTF 2.0 binary (.glb): the JSON and its binary data in one file
};

// The format a path's extension names (.obj, .gltf, .glb, in any case), or nothing.
std::optional<MeshFormat> formatOfExtension(const std::string& path);

// The format of the input file at `path`, told by its first bytes where they are
// plain, whatever its name says: a file that begins with "glTF" is a glTF binary, one
// whose first non-blank byte is '{' glTF JSON, any other text OBJ. Bytes that are not
// text (and files that can't be looked into: pipes, devices, files that can't be
// read) go by the extension, OBJ when that names no format; the loader then says
// what is wrong with them.
MeshFormat inputFormat(const char* path);

}  // namespace faceloom
