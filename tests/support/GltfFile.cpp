#include "support/GltfFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>

#include "ObjLoader.h"
#include "support/ObjFile.h"
#include "support/TestSupport.h"

namespace test {

namespace {

void putUint32(std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

std::uint32_t getUint32(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

std::size_t componentSize(int type) {
    return type == kUnsignedByte || type == 5120      ? 1
           : type == kUnsignedShort || type == kShort ? 2
                                                      : 4;
}

}  // namespace

GltfBuilder::GltfBuilder() {
    doc = {{"asset", {{"version", "2.0"}}}, {"scene", 0}, {"scenes", {{{"nodes", Json::array()}}}}};
}

std::size_t GltfBuilder::view(const void* data, std::size_t size, std::size_t stride, int target) {
    bin.append((4 - bin.size() % 4) % 4, '\0');
    Json v = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}};
    if (stride != 0) {
        v["byteStride"] = stride;
    }
    if (target != 0) {
        v["target"] = target;
    }
    bin.append(static_cast<const char*>(data), size);
    doc["bufferViews"].push_back(v);
    return doc["bufferViews"].size() - 1;
}

std::size_t GltfBuilder::accessor(std::size_t view, int componentType, std::size_t count,
                                  const char* type, const Json& extra) {
    Json a = {
        {"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}};
    for (const auto& [key, value] : extra.items()) {
        a[key] = value;
    }
    doc["accessors"].push_back(a);
    return doc["accessors"].size() - 1;
}

std::size_t GltfBuilder::floats(const std::vector<float>& values, const char* type) {
    const std::size_t width = std::string(type) == "VEC3" ? 3 : 2;
    Json extra = Json::object();
    if (width == 3 && !values.empty()) {
        std::array<double, 3> lo{}, hi{};
        for (std::size_t c = 0; c < 3; ++c) {
            lo[c] = hi[c] = values[c];
            for (std::size_t i = c; i < values.size(); i += 3) {
                lo[c] = std::min<double>(lo[c], values[i]);
                hi[c] = std::max<double>(hi[c], values[i]);
            }
        }
        extra = {{"min", lo}, {"max", hi}};
    }
    const std::size_t v = view(values.data(), values.size() * 4, 0, 34962);
    return accessor(v, kFloat, values.size() / width, type, extra);
}

std::size_t GltfBuilder::indices(const std::vector<std::uint32_t>& values, int componentType) {
    std::string bytes;
    for (std::uint32_t i : values) {
        bytes.append(reinterpret_cast<const char*>(&i), componentSize(componentType));
    }
    return accessor(view(bytes.data(), bytes.size(), 0, 34963), componentType, values.size(),
                    "SCALAR");
}

std::size_t GltfBuilder::mesh(const Json& primitives, const std::string& name, const Json& node) {
    Json m = {{"primitives", primitives}};
    if (!name.empty()) {
        m["name"] = name;
    }
    doc["meshes"].push_back(m);
    Json n = node;
    n["mesh"] = doc["meshes"].size() - 1;
    doc["nodes"].push_back(n);
    doc["scenes"][0]["nodes"].push_back(doc["nodes"].size() - 1);
    return doc["meshes"].size() - 1;
}

std::string GltfBuilder::glb() const {
    Json d = doc;
    if (!bin.empty()) {
        d["buffers"] = {{{"byteLength", bin.size()}}};
    }
    std::string json = d.dump();
    json.append((4 - json.size() % 4) % 4, ' ');
    std::string data = bin;
    data.append((4 - data.size() % 4) % 4, '\0');
    std::string out = "glTF";
    putUint32(out, 2);
    putUint32(out, static_cast<std::uint32_t>(12 + 8 + json.size() +
                                              (data.empty() ? 0 : 8 + data.size())));
    putUint32(out, static_cast<std::uint32_t>(json.size()));
    out += "JSON" + json;
    if (!data.empty()) {
        putUint32(out, static_cast<std::uint32_t>(data.size()));
        out.append("BIN\0", 4);
        out += data;
    }
    return out;
}

void GltfBuilder::writeGlb(const std::string& path) const {
    writeFile(path, glb());
}

void GltfBuilder::writeGltf(const std::string& path, const std::string& binName) const {
    Json d = doc;
    d["buffers"] = {{{"byteLength", bin.size()}, {"uri", binName}}};
    writeFile(path, d.dump(1));
    writeFile(path.substr(0, path.find_last_of('/') + 1) + binName, bin);
}

Triangles splitTriangles(const std::string& objText) {
    const faceloom::ObjMesh mesh = faceloom::parseObj(objText);
    Triangles out;
    const bool textured = !mesh.uvs.empty();
    for (std::uint32_t f = 0; f < mesh.faceCount(); ++f) {
        const auto corners = mesh.faceCorners(f);
        for (std::uint32_t k = 1; k + 1 < corners.size(); ++k) {
            for (std::uint32_t c : {0u, k, k + 1}) {
                const auto& p = mesh.positions[corners[c].position - 1];
                out.indices.push_back(static_cast<std::uint32_t>(out.positions.size() / 3));
                out.positions.insert(out.positions.end(), {p.x, p.y, p.z});
                if (textured) {
                    const auto& t = mesh.uvs[corners[c].texture - 1];
                    out.uvs.insert(out.uvs.end(), {t.x, 1.0f - t.y});
                }
            }
        }
    }
    return out;
}

std::string triangulatedObj(const std::string& objText) {
    const faceloom::ObjMesh mesh = faceloom::parseObj(objText);
    // Exact floats, so that both files hold the same numbers.
    std::string text;
    char number[64];
    for (const auto& p : mesh.positions) {
        std::snprintf(number, sizeof number, "v %.9g %.9g %.9g\n", p.x, p.y, p.z);
        text += number;
    }
    for (const auto& t : mesh.uvs) {
        std::snprintf(number, sizeof number, "vt %.9g %.9g\n", t.x, t.y);
        text += number;
    }
    const auto corner = [&](const faceloom::Corner& c) {
        return " " + std::to_string(c.position) +
               (mesh.uvs.empty() ? "" : "/" + std::to_string(c.texture));
    };
    for (std::uint32_t f = 0; f < mesh.faceCount(); ++f) {
        const auto corners = mesh.faceCorners(f);
        for (std::uint32_t k = 1; k + 1 < corners.size(); ++k) {
            text += "f" + corner(corners[0]) + corner(corners[k]) + corner(corners[k + 1]) + "\n";
        }
    }
    return text;
}

GltfBuilder gltfOf(const Triangles& triangles) {
    GltfBuilder b;
    Json attributes = {{"POSITION", b.floats(triangles.positions, "VEC3")}};
    if (!triangles.uvs.empty()) {
        attributes["TEXCOORD_0"] = b.floats(triangles.uvs, "VEC2");
    }
    b.mesh(Json::array({{{"attributes", attributes}, {"indices", b.indices(triangles.indices)}}}),
           "surface");
    return b;
}

namespace {

// The positions of `b` matched to those of `a` (each within `tolerance`), or -1.
std::vector<long> matchPositions(const ObjFile& a, const ObjFile& b, double tolerance) {
    std::vector<std::size_t> order(a.v.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(),
              [&](std::size_t i, std::size_t j) { return a.v[i][0] < a.v[j][0]; });
    std::vector<long> match(b.v.size(), -1);
    for (std::size_t i = 0; i < b.v.size(); ++i) {
        auto first = std::lower_bound(order.begin(), order.end(), b.v[i][0] - tolerance,
                                      [&](std::size_t k, double x) { return a.v[k][0] < x; });
        for (; first != order.end() && a.v[*first][0] <= b.v[i][0] + tolerance; ++first) {
            if (std::abs(a.v[*first][1] - b.v[i][1]) <= tolerance &&
                std::abs(a.v[*first][2] - b.v[i][2]) <= tolerance) {
                match[i] = static_cast<long>(*first);
                break;
            }
        }
    }
    return match;
}

// A facet as the positions of its corners, from the smallest on, and their uvs.
struct FacetKey {
    std::vector<long> positions;
    std::vector<std::array<double, 2>> uvs;
};

FacetKey facetKey(const ObjFile& obj, const std::vector<ObjFile::Corner>& corners,
                  const std::vector<long>* match) {
    FacetKey key;
    std::size_t first = 0;
    for (std::size_t k = 0; k < corners.size(); ++k) {
        const long p = corners[k].p - 1;
        key.positions.push_back(match != nullptr ? (*match)[p] : p);
        if (key.positions[k] < key.positions[first]) {
            first = k;
        }
    }
    std::rotate(key.positions.begin(), key.positions.begin() + first, key.positions.end());
    for (std::size_t k = 0; k < corners.size(); ++k) {
        const auto& c = corners[(first + k) % corners.size()];
        key.uvs.push_back(c.t > 0 ? obj.vt[c.t - 1] : std::array<double, 2>{0, 0});
    }
    return key;
}

}  // namespace

void expectSameSurface(const std::string& objA, const std::string& objB, double tolerance) {
    const ObjFile a = parseObj(objA, true), b = parseObj(objB, true);
    ASSERT_TRUE(a.wellFormed() && b.wellFormed());
    ASSERT_EQ(a.v.size(), b.v.size());
    ASSERT_EQ(a.f.size(), b.f.size());
    ASSERT_EQ(a.vt.size(), b.vt.size()) << "uv seams differ";
    // Positions are told by where they are: coincident ones (split by a repair) by the
    // first of them.
    const std::vector<long> match = matchPositions(a, b, tolerance);
    const std::vector<long> self = matchPositions(a, a, tolerance);
    ASSERT_EQ(std::count(match.begin(), match.end(), -1), 0) << "positions differ";
    std::multimap<std::vector<long>, std::vector<std::array<double, 2>>> facets;
    for (const auto& facet : a.f) {
        FacetKey key = facetKey(a, facet, &self);
        facets.emplace(key.positions, key.uvs);
    }
    for (const auto& facet : b.f) {
        const FacetKey key = facetKey(b, facet, &match);
        auto range = facets.equal_range(key.positions);
        auto found = std::find_if(range.first, range.second, [&](const auto& entry) {
            for (std::size_t k = 0; k < key.uvs.size(); ++k) {
                for (int c = 0; c < 2; ++c) {
                    if (std::abs(entry.second[k][c] - key.uvs[k][c]) > tolerance) {
                        return false;
                    }
                }
            }
            return true;
        });
        ASSERT_NE(found, range.second) << "a facet differs";
        facets.erase(found);
    }
}

std::string expectValidGltf(const std::string& path) {
    std::string line;
    const std::string validator = std::string(FACELOOM_SOURCE_DIR) + "/scripts/validate-gltf";
    const bool haveNode =
        runProgram({"sh", "-c", "command -v node"}).status == 0 &&
        fileExists(std::string(FACELOOM_SOURCE_DIR) + "/node_modules/gltf-validator/package.json");
    if (haveNode) {
        const RunResult r = runProgram({"node", validator, path});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        line = r.out.substr(0, r.out.find('\n'));
    }
    if (runProgram({"sh", "-c", "command -v assimp"}).status == 0) {
        const RunResult r = runProgram({"assimp", "info", path});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        const auto types = r.out.find("Primitive Types:");
        EXPECT_NE(r.out.find("triangles", types), std::string::npos) << r.out;
    }
    return line;
}

ReadBack readBack(const std::string& path) {
    ReadBack file;
    const std::string bytes = readFile(path);
    if (bytes.compare(0, 4, "glTF") == 0) {
        const std::uint32_t jsonLength = getUint32(bytes, 12);
        file.doc = Json::parse(bytes.substr(20, jsonLength));
        if (bytes.size() > 28 + std::size_t{jsonLength}) {
            file.bin = bytes.substr(28 + jsonLength, getUint32(bytes, 20 + jsonLength));
        }
    } else {
        file.doc = Json::parse(bytes);
        if (file.doc.contains("buffers") && file.doc["buffers"][0].contains("uri")) {
            const std::string dir = path.substr(0, path.find_last_of('/') + 1);
            file.bin = readFile(dir + file.doc["buffers"][0]["uri"].get<std::string>());
        }
    }
    return file;
}

std::vector<std::vector<double>> accessorValues(const ReadBack& file, std::size_t index) {
    const Json& a = file.doc["accessors"][index];
    const Json& v = file.doc["bufferViews"][a["bufferView"].get<std::size_t>()];
    const std::map<std::string, std::size_t> widths = {
        {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}};
    const std::size_t width = widths.at(a["type"].get<std::string>());
    const int type = a["componentType"].get<int>();
    const std::size_t size = componentSize(type);
    const std::size_t stride = v.value("byteStride", width * size);
    const std::size_t start =
        v.value("byteOffset", std::size_t{0}) + a.value("byteOffset", std::size_t{0});
    std::vector<std::vector<double>> rows(a["count"].get<std::size_t>());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (std::size_t c = 0; c < width; ++c) {
            const char* at = file.bin.data() + start + i * stride + c * size;
            double value = 0;
            if (type == kFloat) {
                float f;
                std::memcpy(&f, at, 4);
                value = f;
            } else {
                std::uint32_t u = 0;
                std::memcpy(&u, at, size);
                value = type == kShort ? static_cast<std::int16_t>(u) : u;
            }
            rows[i].push_back(value);
        }
    }
    return rows;
}

std::string objOfWrittenGltf(const std::string& path) {
    const ReadBack file = readBack(path);
    const Json& primitive = file.doc["meshes"][0]["primitives"][0];
    const auto positions =
        accessorValues(file, primitive["attributes"]["POSITION"].get<std::size_t>());
    const auto indices = accessorValues(file, primitive["indices"].get<std::size_t>());
    const bool textured = primitive["attributes"].contains("TEXCOORD_0");
    std::string text;
    char line[96];
    std::map<std::vector<double>, std::size_t> welded;
    std::vector<std::size_t> positionOf;
    for (const auto& p : positions) {
        const auto known = welded.emplace(p, welded.size() + 1);
        if (known.second) {
            std::snprintf(line, sizeof line, "v %.9g %.9g %.9g\n", p[0], p[1], p[2]);
            text += line;
        }
        positionOf.push_back(known.first->second);
    }
    if (textured) {
        for (const auto& t :
             accessorValues(file, primitive["attributes"]["TEXCOORD_0"].get<std::size_t>())) {
            std::snprintf(line, sizeof line, "vt %.9g %.9g\n", t[0], double(1.0f - float(t[1])));
            text += line;
        }
    }
    for (std::size_t i = 0; i + 5 < indices.size(); i += 6) {
        // Triangles not of a quad's pair (a, b, c), (a, c, d) stay triangles, and so
        // differ from any quad of the other side.
        const bool pair = indices[i + 3] == indices[i] && indices[i + 4] == indices[i + 2];
        text += "f";
        for (std::size_t k : pair ? std::vector<std::size_t>{i, i + 1, i + 2, i + 5}
                                  : std::vector<std::size_t>{i, i + 1, i + 2}) {
            const auto v = static_cast<std::size_t>(indices[k][0]);
            text +=
                " " + std::to_string(positionOf[v]) + (textured ? "/" + std::to_string(v + 1) : "");
        }
        text += "\n";
    }
    return text;
}

}  // namespace test
