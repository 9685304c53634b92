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

}  // namespace

ObjFile parseObj(const std::string& text, bool someUntextured) {
    ObjFile obj;
    std::string material;
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
                const auto slash = token.find('/');
                const bool ok = slash == std::string::npos
                                    ? readIndex(token, c.p)
                                    : readIndex(token.substr(0, slash), c.p) &&
                                          readIndex(token.substr(slash + 1), c.t);
                if (!ok) {
                    obj.problems.push_back("bad corner '" + token + "' in: " + line);
                }
                (slash == std::string::npos ? anyPlain : anyTexture) = true;
                if (c.p < 1 || c.p > static_cast<long>(obj.v.size())) {
                    obj.problems.push_back("position index out of range in: " + line);
                }
                if (slash != std::string::npos &&
                    (c.t < 1 || c.t > static_cast<long>(obj.vt.size()))) {
                    obj.problems.push_back("texture index out of range in: " + line);
                }
                facet.push_back(c);
            }
            if (facet.size() != 4) {
                obj.problems.push_back("facet without four corners: " + line);
            }
            obj.f.push_back(facet);
            obj.facetMaterial.push_back(material);
        } else if (key == "usemtl") {
            material = line.substr(7);
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
