// The OBJ loader: the constructor of the mesh record.
//
// It reads the subset of Wavefront OBJ the tool refines: "v", "vt" and "f" lines,
// and keeps the "mtllib" and "usemtl" lines that give the faces their materials and
// the "o" and "g" lines that give them their objects and groups.
// Every other line is skipped without a message, and malformed numbers read as 0:
// the builders are the ones that judge whether the faces make a surface. Only numbers
// that are not finite (nan, inf, beyond float's range) refuse the file.

#include <sys/stat.h>

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
#include "mesh/TextEncoding.h"
#include "system/MemoryBudget.h"

namespace faceloom {

namespace {

// What reading the input came to.
struct ReadResult {
    int error = 0;            // the errno value of what failed, or 0
    bool tooLarge = false;    // the input holds more than the memory allows loading
    bool sized = false;       // a file of known size (not a pipe or a device)
    std::uint64_t bytes = 0;  // its size, or what was read of it
};

// Reads the file at `path` into `text`, no more than `limit` bytes: a file larger
// than that is refused from its size before a byte is read, and an input of no
// known size (a pipe, /dev/zero) is read until it ends or runs past the limit.
ReadResult readWholeFile(const char* path, std::uint64_t limit, std::string& text) {
    ReadResult result;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rb"), &std::fclose);
    if (!file) {
        result.error = errno;
        return result;
    }
    struct stat status;
    if (::fstat(::fileno(file.get()), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_size > 0) {
        result.sized = true;
        result.bytes = static_cast<std::uint64_t>(status.st_size);
        if (result.bytes > limit) {
            result.tooLarge = true;
            return result;
        }
        text.reserve(static_cast<std::size_t>(result.bytes));
    }
    // A directory opens fine with fopen; only reading it fails (EISDIR).
    char chunk[1 << 16];
    for (;;) {
        errno = 0;
        std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
        if (text.size() + n > limit) {
            // A file that grew while being read is refused the same way.
            result.tooLarge = true;
            result.sized = false;
            result.bytes = text.size();
            return result;
        }
        text.append(chunk, n);
        if (n < sizeof chunk) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        result.error = errno != 0 ? errno : EIO;
    }
    return result;
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

// Names in order of first use (materials, objects, groups), and which one is current.
struct NameList {
    std::vector<std::string>& names;
    std::unordered_map<std::string, std::uint32_t> index;
    std::uint32_t current;
    bool used = false;

    void use(const std::string& name) {
        const auto known = index.emplace(name, checkedCount(names.size()));
        if (known.second) {
            names.push_back(name);
        }
        current = known.first->second;
        used = true;
    }
};

// Reads the corners of a face line (after its keyword) into `corners` and returns the
// face's form and corner count. An unread face (a first corner of a shape we don't
// read, or `unreadable`) owns no corners.
vec2<unsigned int> readFace(std::istringstream& line, bool unreadable, std::uint32_t positionsSoFar,
                            std::uint32_t uvsSoFar, std::vector<vec2<unsigned int>>& corners) {
    std::vector<std::string> tokens;
    for (std::string token; line >> token;) {
        tokens.push_back(token);
    }
    const CornerForm form =
        unreadable ? kCornersUnread : formOfFirstCorner(tokens.empty() ? std::string() : tokens[0]);
    vec2<unsigned int> type;
    type.x = form;
    if (form != kCornersUnread) {
        const bool withTexture = (form == kPositionTexture || form == kPositionTextureNormal);
        for (const std::string& token : tokens) {
            corners.push_back(scanCorner(token, withTexture, positionsSoFar, uvsSoFar));
        }
        type.y = checkedCount(tokens.size());
    }
    return type;
}

}  // namespace

ObjMesh::ObjMesh(const char* path, Diagnostics& diagnostics) : path_(path) {
    try {
        std::string text;
        const MemoryAmounts available = availableMemory();
        const ReadResult read = readWholeFile(path, loadableBytes(available), text);
        if (read.error != 0 || read.tooLarge) {
            if (read.tooLarge) {
                diagnostics.error(loadRefusal(path_, read.bytes, read.sized, available));
            } else if (read.error == ENOENT || read.error == ENOTDIR) {
                diagnostics.error("ERROR : Can't Find [" + path_ + "]");
            } else {
                diagnostics.error("ERROR : Can't read [" + path_ +
                                  "]: " + std::strerror(read.error));
            }
            loadFailed_ = true;
            return;
        }
        parse(withoutByteOrderMark(std::move(text)));
        if (nulFaceLine_ != 0) {
            diagnostics.error("ERROR : Line " + std::to_string(nulFaceLine_) + " of [" + path_ +
                              "] holds a NUL byte, so its face can't be read");
        }
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
    mesh.parse(withoutByteOrderMark(text));
    return mesh;
}

void ObjMesh::parse(const std::string& text) {
    std::vector<vec3<float>> positionList;
    std::vector<vec2<float>> uvList;
    std::vector<vec2<unsigned int>> faceTypeList;
    std::vector<vec2<unsigned int>> cornerList;
    std::vector<std::uint32_t> faceMaterialList, faceObjectList, faceGroupList;
    NameList materials{materialNames, {}, kNoMaterial};
    NameList objects{objectNames, {}, kUnnamed};
    NameList groups{groupNames, {}, kUnnamed};

    std::size_t lineStart = 0;
    for (std::uint64_t lineNumber = 1; lineStart < text.size(); ++lineNumber) {
        const auto lineName = [&] {
            return "Line " + std::to_string(lineNumber) + " of [" + path_ + "]";
        };
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = text.size();  // a last line without a line end still counts
        }
        const std::size_t lineLength = lineEnd - lineStart;
        std::istringstream line(text.substr(lineStart, lineLength));
        const char* const lineBytes = text.data() + lineStart;
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
            // A NUL byte splits a corner in ways no reader agrees on: rather than guess
            // which corners the line meant, the face is not read.
            const bool nul = std::memchr(lineBytes, '\0', lineLength) != nullptr;
            if (nul && nulFaceLine_ == 0) {
                nulFaceLine_ = lineNumber;
            }
            faceTypeList.push_back(readFace(line, nul, checkedCount(positionList.size()),
                                            checkedCount(uvList.size()), cornerList));
            faceMaterialList.push_back(materials.current);
            faceObjectList.push_back(objects.current);
            faceGroupList.push_back(groups.current);
        } else if (keyword == "usemtl") {
            materials.use(restOfLine(line));
        } else if (keyword == "o") {
            objects.use(restOfLine(line));
        } else if (keyword == "g") {
            groups.use(restOfLine(line));
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
    if (materials.used) {
        faceMaterials = toSharedArray(faceMaterialList);
    }
    if (objects.used) {
        faceObjects = toSharedArray(faceObjectList);
    }
    if (groups.used) {
        faceGroups = toSharedArray(faceGroupList);
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
