#pragma once

#include <cstdint>
#include <string>

#include "ObjMesh.h"

namespace faceloom {

// Reads one face corner token in the way C's scanf reads "%u" and "%u/%u": the
// leading number of the token (optional sign, decimal digits, anything after them
// ignored), and with `withTexture` a '/' and a second number. A part that cannot be
// read stays 0.
//
// Negative indices are relative, as OBJ defines them: -1 names the last position
// (texture coordinate) read so far, counted by `positionsSoFar` (`uvsSoFar`). A
// relative index reaching before the first one, and "-0", become 0, which no builder
// accepts. Numbers too large for 32 bits become the largest 32-bit value, which no
// builder accepts either.
Corner scanCorner(const std::string& token, bool withTexture,
                              std::uint32_t positionsSoFar, std::uint32_t uvsSoFar);

}  // namespace faceloom
