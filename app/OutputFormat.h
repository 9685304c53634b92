#pragma once

#include <optional>
#include <string>

#include "MeshFormat.h"

namespace faceloom {

// The format to write to `path`: the one its extension names (.obj, .gltf, .glb, in
// any case); OBJ, as always, for an output that is no file of its own ("-", an open
// descriptor such as /dev/stdout or /dev/fd/3, a device, a pipe); nothing otherwise.
std::optional<MeshFormat> outputFormat(const std::string& path);

// The "ERROR : ..." line for an output whose format can't be told, listing the formats.
std::string outputFormatRefusal(const std::string& path);

}  // namespace faceloom
