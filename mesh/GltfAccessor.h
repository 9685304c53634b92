#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <tiny_gltf.h>

namespace faceloom {

// What makes an accessor unreadable, in words for the "ERROR : ..." line.
class GltfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads accessor `index` of `model` as floats, `components` to an element (the
// accessor's type must have that many: 2 for VEC2, 3 for VEC3). Integer components
// read as glTF says: normalized ones mapped to 0..1 (unsigned) or -1..1 (signed),
// others as their value. An accessor without a buffer view reads as zeros; a sparse
// one has its listed elements replaced. Every byte read is checked to lie in its
// buffer view and buffer; `maxBytes` bounds what the values may take in memory.
// Throws GltfError naming the accessor and what is wrong.
std::vector<float> readFloatAccessor(const tinygltf::Model& model, int index, int components,
                                     std::uint64_t maxBytes);

// Reads accessor `index` as vertex indices: scalars of unsigned byte, short or int.
std::vector<std::uint32_t> readIndexAccessor(const tinygltf::Model& model, int index,
                                             std::uint64_t maxBytes);

}  // namespace faceloom
