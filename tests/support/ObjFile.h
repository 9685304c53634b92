#pragma once

#include <array>
#include <string>
#include <vector>

namespace test {

// An output file of the tool, read back strictly: every line must be a "v", "vt",
// "vn", "f", "mtllib", "usemtl", "o" or "g" line of the form the tool writes.
struct ObjFile {
    struct Corner {
        long p = 0;  // 1-based position index
        long t = 0;  // 1-based texture index, 0 when the corner has none
        long n = 0;  // 1-based normal index, 0 when the corner has none
    };
    std::vector<std::array<double, 3>> v;
    std::vector<std::array<double, 2>> vt;
    std::vector<std::array<double, 3>> vn;
    std::vector<std::vector<Corner>> f;
    std::vector<std::string> facetMaterial;  // per facet: the last "usemtl" name before it
    std::vector<std::string> facetObject;    // per facet: the last "o" name before it
    std::vector<std::string> facetGroup;     // per facet: the last "g" name before it
    std::vector<std::string> mtllib;
    std::vector<std::string> problems;  // lines that broke the form, indices out of range

    bool wellFormed() const { return problems.empty(); }
};

// `someUntextured`: facets with and without texture indices may both occur (a mesh
// only some of whose faces have texture); otherwise that is a problem.
ObjFile parseObj(const std::string& text, bool someUntextured = false);

}  // namespace test
