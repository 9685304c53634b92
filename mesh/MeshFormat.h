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
// plain: a file that begins with "glTF" is a glTF binary, one whose first non-blank
// byte is '{' glTF JSON, whatever its name says. Any other file goes by its
// extension, and is OBJ when that names no format (or the file can't be read: the
// loader then says why).
MeshFormat inputFormat(const char* path);

}  // namespace faceloom
