#pragma once

namespace faceloom {

// Small value types of the mesh record. Every member starts at zero, so a
// default-constructed corner reads as "no index read" and a position as the origin.

template <typename T>
struct vec2 {
    T x{};
    T y{};
};

template <typename T>
struct vec3 {
    T x{};
    T y{};
    T z{};
};

}  // namespace faceloom
