#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "Diagnostics.h"
#include "ObjMesh.h"
#include "WholeFile.h"

namespace faceloom {

// What the loaders may take in.
struct LoadLimits {
    // The most bytes of input that fit in memory: a file larger than that is refused
    // from its size before a byte is read, and an input of no known size (a pipe,
    // /dev/zero) once it runs past it.
    std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max();
};

struct ObjLoad {
    std::optional<ObjMesh> mesh;  // nothing when the file could not be read
    // Set when the input was too large for LoadLimits::maxBytes; the caller, who knows
    // what memory there is, says so. Every other failure is reported by the loader.
    std::optional<OversizedInput> oversized;
};

// Reads the Wavefront OBJ file at `path`: its "v", "vt" and "f" lines, the "mtllib"
// and "usemtl" lines that give the faces their materials, and the "o" and "g" lines
// that give them their objects and groups. Every other line is skipped without a
// message, and malformed numbers read as 0: the builders judge whether the faces make
// a surface. Numbers that are not finite in single precision (nan, inf, beyond float's
// range) refuse the file. Never throws; reports to `diagnostics`.
//
// A face line holding a NUL byte is recorded with its corners unread (which corners it
// meant can't be told from the bytes), and the first such line is reported.
ObjLoad loadObj(const char* path, const LoadLimits& limits, Diagnostics& diagnostics);

// The same rules on OBJ text held in memory, `sourcePath` naming it in messages.
// Throws std::exception for a number that is not finite or a count beyond 32 bits.
// `nulFaceLine`, when given, gets the line (from 1) of the first face line holding a
// NUL byte, or 0.
ObjMesh parseObj(const std::string& text, const std::string& sourcePath = "",
                 std::uint64_t* nulFaceLine = nullptr);

}  // namespace faceloom
