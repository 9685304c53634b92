#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Small glTF files made for the tests, and written ones read back without the tool.

namespace test {

using Json = nlohmann::ordered_json;

constexpr int kFloat = 5126, kUnsignedByte = 5121, kShort = 5122, kUnsignedShort = 5123,
              kUnsignedInt = 5125;

// A glTF document put together piece by piece, all binary data in one buffer.
struct GltfBuilder {
    Json doc = {
        {"asset", {{"version", "2.0"}}}, {"scene", 0}, {"scenes", {{{"nodes", Json::array()}}}}};
    std::string bin;

    // Each returns the index of what it appends; a view starts at a multiple of 4.
    std::size_t view(const void* data, std::size_t size, const Json& extra = Json::object());
    std::size_t accessor(std::size_t view, int componentType, std::size_t count, const char* type,
                         const Json& extra = Json::object());
    // Floats of `type` ("VEC2", "VEC3") in a view of their own; VEC3 gets min and max.
    std::size_t floats(const std::vector<float>& values, const char* type);
    std::size_t indices(const std::vector<std::uint32_t>& values, int componentType = kUnsignedInt);
    // A mesh of the given primitives, placed by a new root node of the scene.
    void mesh(const Json& primitives, const std::string& name, const Json& node = Json::object());

    std::string glb() const;
    void writeGltf(const std::string& path, const std::string& binName) const;  // .bin beside
};

// The triangles of an OBJ file's text as an exporter writes them to glTF: faces fanned
// from their first corner, each corner a vertex of its own, v turned to glTF's sense
// (down the image); and as OBJ text, each corner keeping its position and uv indices.
struct Triangles {
    std::vector<float> positions;  // xyz per vertex
    std::vector<float> uvs;        // uv per vertex; empty without texture
    std::vector<std::uint32_t> indices;
    std::string obj;
};
Triangles splitTriangles(const std::string& objText);
// The triangles as the one primitive of mesh "surface" (float attributes, 32-bit indices).
GltfBuilder gltfOf(const Triangles& triangles);

// Expects two OBJ outputs of the tool to hold the same seams and facets, in any order,
// their numbers within `tolerance` of the size of `expected`.
void expectSameSurface(const std::string& expected, const std::string& actual, double tolerance);
// Expects the Khronos glTF Validator to find no error in a written .gltf or .glb and
// assimp to read it, each check skipped where its tool is not installed.
void expectValidGltf(const std::string& path);

// The document of a written .gltf or .glb, and the bytes of its one buffer.
struct ReadBack {
    Json doc;
    std::string bin;
};
ReadBack readBack(const std::string& path);
// Accessor `index` as a row of numbers per element (float or unsigned, packed or strided).
std::vector<std::vector<double>> accessorValues(const ReadBack& file, const Json& index);
// The first primitive of a written glTF file as OBJ text: a "v" and a "vt" (v turned
// back) per vertex, each pair of triangles (a, b, c), (a, c, d) the quad it came from.
std::string objOfWrittenGltf(const std::string& path);

}  // namespace test
