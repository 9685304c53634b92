// The OBJ loader: the constructor of the mesh record.
//
// It reads the subset of Wavefront OBJ the tool refines: "v", "vt" and "f" lines,
// and keeps the "mtllib" and "usemtl" lines that give the faces their materials.
// Every other line is skipped without a message, and malformed numbers read as 0:
// the builders are the ones that judge whether the faces make a surface. Only numbers
// that are not finite (nan, inf, beyond float's range) refuse the file.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "mesh/IndexScan.h"
#include "mesh/ObjMesh.h"
#include "mesh/SharedArray.h"

namespace faceloom {

namespace {

// Reads the file at `path` into `text`. Returns 0, or the errno value of what failed.
int readWholeFile(const char* path, std::string& text) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) {
        return errno;
    }
    // A directory opens fine with fopen; only reading it fails (EISDIR).
    char chunk[1 << 16];
    for (;;) {
        errno = 0;
        std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        text.append(chunk, n);
        if (n < sizeof chunk) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        return errno != 0 ? errno : EIO;
    }
    return 0;
}

// Reads up to `count` floats into `out` in order. Extraction stops at the first
// value that is missing or unreadable: it and every value after it keep 0. Throws
// when that value is a number that is not finite in single precision ("nan", "inf",
// or beyond float's range, like 1e39): the stream can't read those either, but unlike
// a stray word they are meant as numbers, and no refinement can be computed from them.
void readFloats(std::istringstream& line, float* out, int count, const std::string& where) {
    for (int i = 0; i < count; ++i) {
        const std::istringstream::pos_type start = line.tellg();
        float value;
        if (line >> value) {
            out[i] = value;
            continue;
        }
        line.clear();
        std::string token;
        if (start != std::istringstream::pos_type(-1) && line.seekg(start) && line >> token) {
            char* end = nullptr;
            const float meant = std::strtof(token.c_str(), &end);
            if (end != token.c_str() && !std::isfinite(meant)) {
                throw std::runtime_error("ERROR : " + where +
                                         " holds a number that is not finite in single "
                                         "precision: " +
                                         token.substr(0, 40));
            }
        }
        return;
    }
}

CornerForm formOfFirstCorner(const std::string& token) {
    std::size_t slashes = 0;
    for (char c : token) {
        slashes += (c == '/');
    }
    switch (slashes) {
        case 0:
            return kPositionOnly;
        case 1:
            return kPositionTexture;
        case 2:
            return token.find("//") == std::string::npos ? kPositionTextureNormal : kPositionNormal;
        default:
            return kCornersUnread;
    }
}

// The rest of a line after its keyword, without the blanks around it. The bytes in
// between are kept as they are: names need not be UTF-8.
std::string restOfLine(std::istringstream& line) {
    std::string rest;
    std::getline(line, rest);
    const char* blanks = " \t\r\v\f";
    const auto first = rest.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return "";
    }
    return rest.substr(first, rest.find_last_not_of(blanks) - first + 1);
}

std::uint32_t checkedCount(std::size_t n) {
    if (n > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("ERROR : Too many elements in the input file");
    }
    return static_cast<std::uint32_t>(n);
}

}  // namespace

ObjMesh::ObjMesh(const char* path, Diagnostics& diagnostics) : path_(path) {
    try {
        std::string text;
        if (const int error = readWholeFile(path, text)) {
            if (error == ENOENT || error == ENOTDIR) {
                diagnostics.error("ERROR : Can't Find [" + path_ + "]");
            } else {
                diagnostics.error("ERROR : Can't read [" + path_ + "]: " + std::strerror(error));
            }
            loadFailed_ = true;
            return;
        }
        parse(text);
    } catch (const std::exception& e) {
        // Leave the record empty: no count may promise more than its array holds.
        *this = ObjMesh();
        path_ = path;
        loadFailed_ = true;
        diagnostics.error(e.what());
    }
}

ObjMesh ObjMesh::fromText(const std::string& text) {
    ObjMesh mesh;
    mesh.parse(text);
    return mesh;
}

void ObjMesh::parse(const std::string& text) {
    std::vector<vec3<float>> positionList;
    std::vector<vec2<float>> uvList;
    std::vector<vec2<unsigned int>> faceTypeList;
    std::vector<vec2<unsigned int>> cornerList;
    std::vector<std::uint32_t> faceMaterialList;
    std::unordered_map<std::string, std::uint32_t> materialIndex;
    std::uint32_t currentMaterial = kNoMaterial;
    bool anyMaterial = false;

    std::size_t lineStart = 0;
    std::size_t lineNumber = 0;
    const auto lineName = [&] {
        return "Line " + std::to_string(lineNumber) + " of [" + path_ + "]";
    };
    while (lineStart < text.size()) {
        ++lineNumber;
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = text.size();  // a last line without a line end still counts
        }
        std::istringstream line(text.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;

        std::string keyword;
        line >> keyword;
        if (keyword == "v") {
            float xyz[3] = {0.0f, 0.0f, 0.0f};
            readFloats(line, xyz, 3, lineName());
            positionList.push_back({xyz[0], xyz[1], xyz[2]});
        } else if (keyword == "vt") {
            float uv[2] = {0.0f, 0.0f};
            readFloats(line, uv, 2, lineName());
            uvList.push_back({uv[0], uv[1]});
        } else if (keyword == "f") {
            std::vector<std::string> tokens;
            for (std::string token; line >> token;) {
                tokens.push_back(token);
            }
            const CornerForm form = formOfFirstCorner(tokens.empty() ? std::string() : tokens[0]);
            vec2<unsigned int> type;
            type.x = form;
            if (form != kCornersUnread) {
                // Fewer than three corners still make a (broken) triangle: the zero
                // corners are left for the builders to reject.
                const std::size_t count = std::max<std::size_t>(tokens.size(), 3);
                const bool withTexture =
                    (form == kPositionTexture || form == kPositionTextureNormal);
                const auto positionsSoFar = checkedCount(positionList.size());
                const auto uvsSoFar = checkedCount(uvList.size());
                for (std::size_t i = 0; i < count; ++i) {
                    cornerList.push_back(i < tokens.size() ? scanCorner(tokens[i], withTexture,
                                                                        positionsSoFar, uvsSoFar)
                                                           : vec2<unsigned int>{});
                }
                type.y = checkedCount(count);
            }
            faceTypeList.push_back(type);
            faceMaterialList.push_back(currentMaterial);
        } else if (keyword == "usemtl") {
            const std::string name = restOfLine(line);
            const auto known = materialIndex.emplace(name, checkedCount(materialNames.size()));
            if (known.second) {
                materialNames.push_back(name);
            }
            currentMaterial = known.first->second;
            anyMaterial = true;
        } else if (keyword == "mtllib") {
            materialLibraries.push_back(restOfLine(line));
        }
    }

    faceCount = checkedCount(faceTypeList.size());
    vertexCount = checkedCount(positionList.size());
    uvCount = checkedCount(uvList.size());
    cornerCount = cornerList.size();
    positions = toSharedArray(positionList);
    faceTypes = toSharedArray(faceTypeList);
    corners = toSharedArray(cornerList);
    uvs = toSharedArray(uvList);
    if (anyMaterial) {
        faceMaterials = toSharedArray(faceMaterialList);
    }
    indexFaces();
}

void ObjMesh::indexFaces() {
    faceStarts.reset(new std::uint64_t[std::size_t{faceCount} + 1]);
    std::uint64_t start = 0;
    for (std::uint32_t face = 0; face < faceCount; ++face) {
        faceStarts[face] = start;
        start += faceTypes[face].y;
    }
    faceStarts[faceCount] = start;
}

}  // namespace faceloom
