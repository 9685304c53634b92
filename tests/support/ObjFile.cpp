#include "support/ObjFile.h"

#include <sstream>

#include "support/TestSupport.h"

namespace test {

namespace {

bool readIndex(const std::string& text, long& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    value = std::stol(text);
    return true;
}

// Reads a corner "p", "p/t", "p/t/n" or "p//n"; false when it has none of these
// forms. Indices start at 1.
bool readCorner(const std::string& token, ObjFile::Corner& c) {
    const auto first = token.find('/');
    const auto second = first == std::string::npos ? first : token.find('/', first + 1);
    bool ok = readIndex(token.substr(0, first), c.p) && c.p >= 1;
    if (first != std::string::npos) {
        const std::string texture = token.substr(first + 1, second - first - 1);
        ok = ok && ((second != std::string::npos && texture.empty()) ||
                    (readIndex(texture, c.t) && c.t >= 1));
    }
    if (second != std::string::npos) {
        ok = ok && readIndex(token.substr(second + 1), c.n) && c.n >= 1;
    }
    return ok;
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
        if (key == "v") {
            std::array<double, 3> p{};
            if (!(words >> p[0] >> p[1] >> p[2])) {
                obj.problems.push_back("bad v line: " + line);
            }
            obj.v.push_back(p);
        } else if (key == "vn") {
            std::array<double, 3> n{};
            if (!(words >> n[0] >> n[1] >> n[2])) {
                obj.problems.push_back("bad vn line: " + line);
            }
            obj.vn.push_back(n);
        } else if (key == "vt") {
            std::array<double, 2> t{};
            if (!(words >> t[0] >> t[1])) {
                obj.problems.push_back("bad vt line: " + line);
            }
            obj.vt.push_back(t);
        } else if (key == "f") {
            std::vector<ObjFile::Corner> facet;
            for (std::string token; words >> token;) {
                ObjFile::Corner c;
                if (!readCorner(token, c)) {
                    obj.problems.push_back("bad corner '" + token + "' in: " + line);
                }
                (c.t == 0 ? anyPlain : anyTexture) = true;
                if (c.p < 1 || c.p > static_cast<long>(obj.v.size())) {
                    obj.problems.push_back("position index out of range in: " + line);
                }
                if (c.t != 0 && c.t > static_cast<long>(obj.vt.size())) {
                    obj.problems.push_back("texture index out of range in: " + line);
                }
                if (!obj.vn.empty() && (c.n < 1 || c.n > static_cast<long>(obj.vn.size()))) {
                    obj.problems.push_back("normal index missing or out of range in: " + line);
                }
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
