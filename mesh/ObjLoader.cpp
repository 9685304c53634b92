#include "ObjLoader.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "IndexScan.h"
#include "TextEncoding.h"
#include "WholeFile.h"

namespace faceloom {

namespace {

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

// Names in order of first use (materials, objects, groups), which one is current, and
// the current one of every face so far.
struct NameList {
    std::vector<std::string>& names;
    std::vector<std::uint32_t>& ofFace;
    std::uint32_t current;
    std::unordered_map<std::string, std::uint32_t> index{};
    bool used = false;

    void use(const std::string& name) {
        const auto known = index.emplace(name, checkedCount(names.size()));
        if (known.second) {
            names.push_back(name);
        }
        current = known.first->second;
        used = true;
    }
    void labelFace() { ofFace.push_back(current); }
    // A file without such lines keeps no labels at all.
    void finish() {
        if (!used) {
            ofFace.clear();
        }
    }
};

// Reads the corners of a face line (after its keyword) into `mesh`. An unread face
// (a first corner of a shape we don't read, or `unreadable`) owns no corners.
void readFace(std::istringstream& line, bool unreadable, ObjMesh& mesh) {
    std::vector<std::string> tokens;
    for (std::string token; line >> token;) {
        tokens.push_back(token);
    }
    Face face;
    face.form = unreadable ? kCornersUnread
                           : formOfFirstCorner(tokens.empty() ? std::string() : tokens[0]);
    if (face.form != kCornersUnread) {
        const bool withTexture =
            (face.form == kPositionTexture || face.form == kPositionTextureNormal);
        const std::uint32_t positionsSoFar = checkedCount(mesh.positions.size());
        const std::uint32_t uvsSoFar = checkedCount(mesh.uvs.size());
        for (const std::string& token : tokens) {
            mesh.corners.push_back(scanCorner(token, withTexture, positionsSoFar, uvsSoFar));
        }
        face.count = checkedCount(tokens.size());
    }
    mesh.faceTypes.push_back(face);
}

// The line-by-line reading of one file into one record.
class ObjParser {
public:
    ObjParser(ObjMesh& mesh, std::uint64_t* nulFaceLine)
        : mesh_(mesh), nulFaceLine_(nulFaceLine) {}

    void line(const char* bytes, std::size_t length, std::uint64_t number) {
        std::istringstream line(std::string(bytes, length));
        std::string keyword;
        line >> keyword;
        if (keyword == "v") {
            float xyz[3] = {0.0f, 0.0f, 0.0f};
            readFloats(line, xyz, 3, lineName(number));
            mesh_.positions.push_back({xyz[0], xyz[1], xyz[2]});
        } else if (keyword == "vt") {
            float uv[2] = {0.0f, 0.0f};
            readFloats(line, uv, 2, lineName(number));
            mesh_.uvs.push_back({uv[0], uv[1]});
        } else if (keyword == "f") {
            face(line, std::memchr(bytes, '\0', length) != nullptr, number);
        } else if (keyword == "usemtl") {
            materials_.use(restOfLine(line));
        } else if (keyword == "o") {
            objects_.use(restOfLine(line));
        } else if (keyword == "g") {
            groups_.use(restOfLine(line));
        } else if (keyword == "mtllib") {
            mesh_.materialLibraries.push_back(restOfLine(line));
        }
    }

    void finish() {
        checkedCount(mesh_.positions.size());
        checkedCount(mesh_.uvs.size());
        checkedCount(mesh_.faceTypes.size());
        materials_.finish();
        objects_.finish();
        groups_.finish();
        mesh_.indexFaces();
    }

private:
    void face(std::istringstream& line, bool nul, std::uint64_t number) {
        // A NUL byte splits a corner in ways no reader agrees on: rather than guess
        // which corners the line meant, the face is not read.
        if (nul && nulFaceLine_ != nullptr && *nulFaceLine_ == 0) {
            *nulFaceLine_ = number;
        }
        readFace(line, nul, mesh_);
        materials_.labelFace();
        objects_.labelFace();
        groups_.labelFace();
    }

    std::string lineName(std::uint64_t number) const {
        return "Line " + std::to_string(number) + " of [" + mesh_.sourcePath + "]";
    }

    ObjMesh& mesh_;
    std::uint64_t* nulFaceLine_;
    NameList materials_{mesh_.materialNames, mesh_.faceMaterials, kNoMaterial};
    NameList objects_{mesh_.objectNames, mesh_.faceObjects, kUnnamed};
    NameList groups_{mesh_.groupNames, mesh_.faceGroups, kUnnamed};
};

}  // namespace

ObjMesh parseObj(const std::string& encoded, const std::string& sourcePath,
                 std::uint64_t* nulFaceLine) {
    const std::string text = withoutByteOrderMark(encoded);
    ObjMesh mesh;
    mesh.sourcePath = sourcePath;
    if (nulFaceLine != nullptr) {
        *nulFaceLine = 0;
    }
    ObjParser parser(mesh, nulFaceLine);
    std::size_t lineStart = 0;
    for (std::uint64_t number = 1; lineStart < text.size(); ++number) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = text.size();  // a last line without a line end still counts
        }
        parser.line(text.data() + lineStart, lineEnd - lineStart, number);
        lineStart = lineEnd + 1;
    }
    parser.finish();
    return mesh;
}

ObjLoad loadObj(const char* path, const LoadLimits& limits, Diagnostics& diagnostics) {
    ObjLoad load;
    try {
        std::string text;
        if (!readInput(path, limits.maxBytes, text, load.oversized, diagnostics)) {
            return load;
        }
        std::uint64_t nulFaceLine = 0;
        load.mesh = parseObj(text, path, &nulFaceLine);
        if (nulFaceLine != 0) {
            diagnostics.error("ERROR : Line " + std::to_string(nulFaceLine) + " of [" + path +
                              "] holds a NUL byte, so its face can't be read");
        }
    } catch (const std::exception& e) {
        load.mesh.reset();
        diagnostics.error(e.what());
    }
    return load;
}

}  // namespace faceloom
