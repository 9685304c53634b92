#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// Small glTF files made for the tests, and what the tests check written glTF with.

namespace test {

using Json = nlohmann::ordered_json;

constexpr int kFloat = 5126, kUnsignedByte = 5121, kUnsignedShort = 5123, kUnsignedInt = 5125,
              kShort = 5122;

// A glTF document put together piece by piece, all binary data in one buffer.
class GltfBuilder {
public:
    GltfBuilder();

    // Appends `size` bytes as a buffer view (at a multiple of 4); returns its index.
    std::size_t view(const void* data, std::size_t size, std::size_t stride = 0, int target = 0);
    // Appends an accessor on view `view`; `extra` members are added to it.
    std::size_t accessor(std::size_t view, int componentType, std::size_t count, const char* type,
                         const Json& extra = Json::object());
    // Float data of `type` ("VEC2", "VEC3") in a view of its own; VEC3 gets min and max.
    std::size_t floats(const std::vector<float>& values, const char* type);
    // Indices of `componentType` in a view of their own.
    std::size_t indices(const std::vector<std::uint32_t>& values, int componentType = kUnsignedInt);
    // A mesh of the given primitives, placed by a node of the scene; returns the mesh.
    std::size_t mesh(const Json& primitives, const std::string& name = "",
                     const Json& node = Json::object());

    std::string glb() const;  // the document as a glTF binary
    void writeGlb(const std::string& path) const;
    void writeGltf(const std::string& path, const std::string& binName) const;  // .bin beside

    Json doc;
    std::string bin;
};

// The triangles of an OBJ file's text, as a converter writes them to glTF: faces fanned
// from their first corner, every corner a vertex of its own (as far from welded as a
// glTF file gets), v turned to glTF's sense (down the image).
struct Triangles {
    std::vector<float> positions;  // xyz per vertex
    std::vector<float> uvs;        // uv per vertex; empty without texture
    std::vector<std::uint32_t> indices;
};
Triangles splitTriangles(const std::string& objText);
// The same triangles as OBJ text, each corner with its position and texture indices.
std::string triangulatedObj(const std::string& objText);
// A builder holding those triangles as one primitive (float POSITION and TEXCOORD_0,
// 32-bit indices).
GltfBuilder gltfOf(const Triangles& triangles);

// Expects two OBJ outputs of the tool to hold the same surface: the same positions
// and facets (in any order), and the same texture coordinates at each facet corner,
// each number within `tolerance`.
void expectSameSurface(const std::string& objA, const std::string& objB, double tolerance);

// The outside checks of a written glTF file (.gltf or .glb): the Khronos glTF
// Validator finds no error (skipped when Node.js or the validator is not installed)
// and assimp reads it (skipped without assimp). Returns the validator's report line.
std::string expectValidGltf(const std::string& path);

// The document of a written .gltf or .glb, and the bytes of its one buffer.
struct ReadBack {
    Json doc;
    std::string bin;
};
ReadBack readBack(const std::string& path);
// Accessor `index` of a read-back document as doubles, one row of components per element
// (float, unsigned byte, short or int components, tightly packed or strided).
std::vector<std::vector<double>> accessorValues(const ReadBack& file, std::size_t index);

// The one refined primitive of a written glTF file as OBJ text, read without the tool:
// positions welded where equal, one "vt" per glTF vertex (v turned back to OBJ's
// sense), and each pair of triangles (a, b, c), (a, c, d) the quad it was written from.
std::string objOfWrittenGltf(const std::string& path);

}  // namespace test
