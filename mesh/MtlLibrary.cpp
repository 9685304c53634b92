#include "MtlLibrary.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace faceloom {

namespace {

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// The text after the keyword, without the blanks around it.
std::string restOf(std::istringstream& words) {
    std::string rest;
    std::getline(words, rest);
    const auto first = rest.find_first_not_of(" \t");
    const auto last = rest.find_last_not_of(" \t\r");
    return first == std::string::npos ? "" : rest.substr(first, last - first + 1);
}

bool isOptionValue(const std::string& word) {
    if (word == "on" || word == "off") {
        return true;
    }
    char* end = nullptr;
    std::strtod(word.c_str(), &end);
    return end != word.c_str() && *end == '\0';
}

// The file of a map line: what follows its options (-s 1 1 1, -clamp on, ...), which
// may hold blanks.
std::string mapFile(const std::string& text) {
    std::size_t at = 0;
    bool optionValues = false;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        const std::string word = text.substr(at, end - at);
        if (!word.empty() && word[0] == '-') {
            optionValues = true;
        } else if (!(optionValues && isOptionValue(word))) {
            break;
        }
        at = text.find_first_not_of(" \t", end);
        at = at == std::string::npos ? text.size() : at;
    }
    return text.substr(at);
}

void readLibrary(const std::string& path, const std::string& name,
                 std::map<std::string, ObjMaterial>& materials) {
    std::ifstream in(path);
    ObjMaterial* current = nullptr;
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        if (key == "newmtl") {
            current = &(materials[restOf(words)] = ObjMaterial{});
            current->library = name;
        } else if (current == nullptr) {
            continue;
        } else if (key == "Kd") {
            words >> current->diffuse[0] >> current->diffuse[1] >> current->diffuse[2];
        } else if (key == "d") {
            words >> current->opacity;
        } else if (key == "Tr") {
            double transparency = 0;
            if (words >> transparency) {
                current->opacity = 1.0f - transparency;
            }
        } else if (key == "map_Kd") {
            current->diffuseMap = mapFile(restOf(words));
        }
    }
}

// The library names of one "mtllib" line: several when every blank-separated word
// ends in .mtl, otherwise the whole text (a name with blanks).
std::vector<std::string> namesOf(const std::string& text) {
    std::istringstream words(text);
    std::vector<std::string> names;
    for (std::string word; words >> word;) {
        if (word.size() < 4 || word.compare(word.size() - 4, 4, ".mtl") != 0) {
            return {text};
        }
        names.push_back(word);
    }
    return names;
}

}  // namespace

std::map<std::string, ObjMaterial> readMaterialLibraries(const std::vector<std::string>& libraries,
                                                         const std::string& objPath) {
    std::map<std::string, ObjMaterial> materials;
    for (const std::string& line : libraries) {
        for (const std::string& name : namesOf(line)) {
            readLibrary(name.front() == '/' ? name : directoryOf(objPath) + name, name, materials);
        }
    }
    return materials;
}

}  // namespace faceloom
