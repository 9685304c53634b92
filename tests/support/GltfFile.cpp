#include "support/GltfFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/ReferenceComparison.h"
#include "support/TestSupport.h"

namespace test {

namespace {

std::string uint32Bytes(std::size_t value) {
    const auto v = static_cast<std::uint32_t>(value);
    return std::string(reinterpret_cast<const char*>(&v), 4);
}

std::uint32_t uint32At(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

std::size_t componentSize(int type) {
    return type == kUnsignedByte ? 1 : type == kUnsignedShort || type == kShort ? 2 : 4;
}

template <class... Numbers>
std::string numbers(const char* format, Numbers... values) {
    char text[96];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string directoryOf(const std::string& path) {
    return path.substr(0, path.find_last_of('/') + 1);
}

}  // namespace

std::size_t GltfBuilder::view(const void* data, std::size_t size, const Json& extra) {
    bin.append((4 - bin.size() % 4) % 4, '\0');
    Json v = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}};
    v.update(extra);
    bin.append(static_cast<const char*>(data), size);
    doc["bufferViews"].push_back(v);
    return doc["bufferViews"].size() - 1;
}

std::size_t GltfBuilder::accessor(std::size_t view, int componentType, std::size_t count,
                                  const char* type, const Json& extra) {
    Json a = {
        {"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}};
    a.update(extra);
    doc["accessors"].push_back(a);
    return doc["accessors"].size() - 1;
}

std::size_t GltfBuilder::floats(const std::vector<float>& values, const char* type) {
    const std::size_t width = std::string(type) == "VEC3" ? 3 : 2;
    Json box = Json::object();
    if (width == 3 && !values.empty()) {
        std::vector<float> lo(values.begin(), values.begin() + 3), hi = lo;
        for (std::size_t i = 0; i < values.size(); ++i) {
            lo[i % 3] = std::min(lo[i % 3], values[i]);
            hi[i % 3] = std::max(hi[i % 3], values[i]);
        }
        box = {{"min", lo}, {"max", hi}};
    }
    return accessor(view(values.data(), values.size() * 4, {{"target", 34962}}), kFloat,
                    values.size() / width, type, box);
}

std::size_t GltfBuilder::indices(const std::vector<std::uint32_t>& values, int componentType) {
    std::string bytes;
    for (std::uint32_t i : values) {
        bytes.append(reinterpret_cast<const char*>(&i), componentSize(componentType));
    }
    return accessor(view(bytes.data(), bytes.size(), {{"target", 34963}}), componentType,
                    values.size(), "SCALAR");
}

void GltfBuilder::mesh(const Json& primitives, const std::string& name, const Json& node) {
    doc["meshes"].push_back({{"name", name}, {"primitives", primitives}});
    Json n = node;
    n["mesh"] = doc["meshes"].size() - 1;
    doc["nodes"].push_back(n);
    doc["scenes"][0]["nodes"].push_back(doc["nodes"].size() - 1);
}

std::string GltfBuilder::glb() const {
    Json d = doc;
    if (!bin.empty()) {
        d["buffers"] = {{{"byteLength", bin.size()}}};
    }
    std::string json = d.dump(), data = bin;
    json.append((4 - json.size() % 4) % 4, ' ');
    data.append((4 - data.size() % 4) % 4, '\0');
    const std::string binChunk =
        data.empty() ? "" : uint32Bytes(data.size()) + std::string("BIN\0", 4) + data;
    return "glTF" + uint32Bytes(2) + uint32Bytes(20 + json.size() + binChunk.size()) +
           uint32Bytes(json.size()) + "JSON" + json + binChunk;
}

void GltfBuilder::writeGltf(const std::string& path, const std::string& binName) const {
    Json d = doc;
    d["buffers"] = {{{"byteLength", bin.size()}, {"uri", binName}}};
    writeFile(path, d.dump(1));
    writeFile(directoryOf(path) + binName, bin);
}

Triangles splitTriangles(const std::string& objText) {
    const faceloom::ObjMesh mesh = faceloom::parseObj(objText);
    Triangles out;
    for (const std::string& line : splitLines(objText)) {  // the same numbers in both forms
        out.obj += line.rfind("v ", 0) == 0 || line.rfind("vt ", 0) == 0 ? line + "\n" : "";
    }
    for (std::uint32_t f = 0; f < mesh.faceCount(); ++f) {
        const auto corners = mesh.faceCorners(f);
        for (std::uint32_t k = 1; k + 1 < corners.size(); ++k) {
            out.obj += "f";
            for (const faceloom::Corner& c : {corners[0], corners[k], corners[k + 1]}) {
                const auto& p = mesh.positions[c.position - 1];
                out.indices.push_back(static_cast<std::uint32_t>(out.positions.size() / 3));
                out.positions.insert(out.positions.end(), {p.x, p.y, p.z});
                out.obj += " " + std::to_string(c.position);
                if (!mesh.uvs.empty()) {
                    out.uvs.insert(out.uvs.end(),
                                   {mesh.uvs[c.texture - 1].x, 1.0f - mesh.uvs[c.texture - 1].y});
                    out.obj += "/" + std::to_string(c.texture);
                }
            }
            out.obj += "\n";
        }
    }
    return out;
}

GltfBuilder gltfOf(const Triangles& triangles) {
    GltfBuilder b;
    Json attributes = {{"POSITION", b.floats(triangles.positions, "VEC3")}};
    if (!triangles.uvs.empty()) {
        attributes["TEXCOORD_0"] = b.floats(triangles.uvs, "VEC2");
    }
    b.mesh({{{"attributes", attributes}, {"indices", b.indices(triangles.indices)}}}, "surface");
    return b;
}

void expectSameSurface(const std::string& expected, const std::string& actual, double tolerance) {
    EXPECT_EQ(parseObj(actual).vt.size(), parseObj(expected).vt.size()) << "uv seams differ";
    const ReferenceComparison c = compareWithReference(actual, expected);
    EXPECT_TRUE(c.problems.empty() && c.unmatched == 0 && c.facets > 0) << c.summary();
    EXPECT_LE(std::max(c.positionDeviation, c.uvDeviation), tolerance) << c.summary();
}

void expectValidGltf(const std::string& path) {
    const std::string source = FACELOOM_SOURCE_DIR;
    if (fileExists(source + "/node_modules/gltf-validator/package.json") &&
        runProgram({"sh", "-c", "command -v node"}).status == 0) {
        const RunResult r = runProgram({"node", source + "/scripts/validate-gltf", path});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
    }
    if (fileExists(kAssimp)) {
        EXPECT_EQ(assimpProblem(path), "");
    }
}

ReadBack readBack(const std::string& path) {
    const std::string bytes = readFile(path);
    if (bytes.compare(0, 4, "glTF") != 0) {
        const Json doc = Json::parse(bytes);
        const bool withBin = doc.contains("buffers") && doc["buffers"][0].contains("uri");
        return {doc, withBin
                         ? readFile(directoryOf(path) + doc["buffers"][0]["uri"].get<std::string>())
                         : ""};
    }
    const std::uint32_t jsonLength = uint32At(bytes, 12);
    const bool withBin = bytes.size() > 28 + std::size_t{jsonLength};
    return {Json::parse(bytes.substr(20, jsonLength)),
            withBin ? bytes.substr(28 + jsonLength, uint32At(bytes, 20 + jsonLength)) : ""};
}

std::vector<std::vector<double>> accessorValues(const ReadBack& file, const Json& index) {
    const Json& a = file.doc["accessors"][index.get<std::size_t>()];
    const Json& v = file.doc["bufferViews"][a["bufferView"].get<std::size_t>()];
    const std::string kind = a["type"];  // "SCALAR" or "VECn"
    const std::size_t width = kind == "SCALAR" ? 1 : static_cast<std::size_t>(kind[3] - '0');
    const int type = a["componentType"];
    const std::size_t size = componentSize(type), stride = v.value("byteStride", width * size);
    const char* start = file.bin.data() + v.value("byteOffset", 0) + a.value("byteOffset", 0);
    std::vector<std::vector<double>> rows(a["count"].get<std::size_t>());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t c = 0; c < width; ++c) {
            std::uint32_t u = 0;
            std::memcpy(&u, start + i * stride + c * size, size);
            float f;
            std::memcpy(&f, &u, 4);
            rows[i].push_back(type == kFloat ? f : u);
        }
    }
    return rows;
}

std::string objOfWrittenGltf(const std::string& path) {
    const ReadBack file = readBack(path);
    const Json& primitive = file.doc["meshes"][0]["primitives"][0];
    const Json& attributes = primitive["attributes"];
    const bool textured = attributes.contains("TEXCOORD_0");
    std::string text;
    for (const auto& p : accessorValues(file, attributes["POSITION"])) {
        text += numbers("v %.9g %.9g %.9g\n", p[0], p[1], p[2]);
    }
    for (const auto& t : textured ? accessorValues(file, attributes["TEXCOORD_0"])
                                  : std::vector<std::vector<double>>{}) {
        text += numbers("vt %.9g %.9g\n", t[0], double(1.0f - float(t[1])));
    }
    const auto indices = accessorValues(file, primitive["indices"]);
    for (std::size_t i = 0; i + 5 < indices.size(); i += 6) {
        // Triangles not paired as a quad's stay triangles, and so match no quad.
        const bool quad = indices[i + 3] == indices[i] && indices[i + 4] == indices[i + 2];
        text += "f";
        for (std::size_t k : {i, i + 1, i + 2, quad ? i + 5 : i + 2}) {
            const std::string v = std::to_string(static_cast<std::size_t>(indices[k][0]) + 1);
            text += " " + v + (textured ? "/" + v : "");
        }
        text += "\n";
    }
    return text;
}

}  // namespace test
