#pragma once

#include <cstddef>

namespace faceloom {

// Where the writer's bytes go: the output file, or memory in tests.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Appends `size` bytes; false when they could not be written.
    virtual bool write(const char* data, std::size_t size) = 0;
};

}  // namespace faceloom
