#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Diagnostics.h"

namespace faceloom {

// An input refused for its size: how large it is (or, when its size can't be known
// beforehand, how much of it came before it ran past the limit).
struct OversizedInput {
    std::uint64_t bytes = 0;
    bool sized = false;  // `bytes` is the file's size
};

// What reading a whole input file came to.
struct WholeFileRead {
    int error = 0;  // the errno value of what failed, or 0
    std::optional<OversizedInput> oversized;
};

// Reads the file at `path` into `bytes`, no more than `limit` bytes: a regular file
// larger than that is refused from its size before a byte is read, an input of no
// known size (a pipe, /dev/zero) once it runs past it.
WholeFileRead readWholeFile(const char* path, std::uint64_t limit, std::string& bytes);

// readWholeFile for the input: true with its bytes read; false with what failed
// reported ("Can't Find" for a missing file), or with `oversized` set and nothing
// reported, since the caller tells the size against the memory there is.
bool readInput(const char* path, std::uint64_t limit, std::string& bytes,
               std::optional<OversizedInput>& oversized, Diagnostics& diagnostics);

}  // namespace faceloom
