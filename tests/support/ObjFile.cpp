#include "support/ObjFile.h"

#include <sstream>

#include "support/TestSupport.h"

namespace test {

namespace {

// Reads an index, which starts at 1.
bool readIndex(const std::string& text, long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stol(text);
    return value >= 1;
}

// Reads a corner "p", "p/t", "p/t/n" or "p//n"; false when it has none of these forms.
bool readCorner(const std::string& token, ObjFile::Corner& c) {
    const auto first = token.find('/');
    const auto second = first == std::string::npos ? first : token.find('/', first + 1);
    bool ok = readIndex(token.substr(0, first), c.p);
    if (first != std::string::npos) {
        const std::string texture = token.substr(first + 1, second - first - 1);
        ok = ok && ((second != std::string::npos && texture.empty()) || readIndex(texture, c.t));
    }
    return ok && (second == std::string::npos || readIndex(token.substr(second + 1), c.n));
}

// Each index of corner `c` names something read before it, and normals are named
// exactly when the file has them.
void checkIndices(const ObjFile::Corner& c, const std::string& line, ObjFile& obj) {
    if (c.p < 1 || c.p > static_cast<long>(obj.v.size())) {
        obj.problems.push_back("position index out of range in: " + line);
    }
    if (c.t != 0 && c.t > static_cast<long>(obj.vt.size())) {
        obj.problems.push_back("texture index out of range in: " + line);
    }
    if ((!obj.vn.empty() || c.n != 0) && (c.n < 1 || c.n > static_cast<long>(obj.vn.size()))) {
        obj.problems.push_back("normal index missing or out of range in: " + line);
    }
}

}  // namespace

ObjFile parseObj(const std::string& text, bool someUntextured) {
    ObjFile obj;
    std::string material, object, group;
    bool anyTexture = false, anyPlain = false;
    for (const std::string& line : splitLines(text)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "v" || key == "vn" || key == "vt") {
            std::array<double, 3> x{};
            bool read = true;
            for (std::size_t i = 0; i < (key == "vt" ? 2u : 3u); ++i) {
                read = read && static_cast<bool>(words >> x[i]);
            }
            if (!read) {
                obj.problems.push_back("bad " + key + " line: " + line);
            }
            if (key == "vt") {
                obj.vt.push_back({x[0], x[1]});
            } else {
                (key == "v" ? obj.v : obj.vn).push_back(x);
            }
        } else if (key == "f") {
            std::vector<ObjFile::Corner> facet;
            for (std::string token; words >> token;) {
                ObjFile::Corner c;
                if (!readCorner(token, c)) {
                    obj.problems.push_back("bad corner '" + token + "' in: " + line);
                }
                (c.t == 0 ? anyPlain : anyTexture) = true;
                checkIndices(c, line, obj);
                facet.push_back(c);
            }
            if (facet.size() != 4) {
                obj.problems.push_back("facet without four corners: " + line);
            }
            obj.f.push_back(facet);
            obj.facetMaterial.push_back(material);
            obj.facetObject.push_back(object);
            obj.facetGroup.push_back(group);
        } else if (key == "usemtl") {
            material = line.substr(7);
        } else if (key == "o" || key == "g") {
            (key == "o" ? object : group) = line.size() > 2 ? line.substr(2) : "";
        } else if (key == "mtllib") {
            obj.mtllib.push_back(line.substr(7));
        } else {
            obj.problems.push_back("unexpected line: " + line);
        }
    }
    if (anyPlain && anyTexture && !someUntextured) {
        obj.problems.push_back("facets with and without texture indices");
    }
    return obj;
}

}  // namespace test
