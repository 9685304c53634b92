#pragma once

#include <map>
#include <string>
#include <vector>

namespace faceloom {

// What a glTF material takes from an OBJ material: its diffuse colour and opacity,
// and its diffuse texture.
struct ObjMaterial {
    double diffuse[3] = {1.0, 1.0, 1.0};
    double opacity = 1.0;
    std::string diffuseMap;  // the path as the library names it, from the library's directory
    std::string library;     // the library it came from, as the OBJ file names it
};

// Reads the materials of the libraries an OBJ file names (its "mtllib" lines, paths
// from the OBJ file's directory at `objPath`): "newmtl", "Kd", "d", "Tr" and "map_Kd"
// lines, the last material of a name winning. Libraries that can't be read are passed
// over: the materials keep their names alone.
std::map<std::string, ObjMaterial> readMaterialLibraries(const std::vector<std::string>& libraries,
                                                         const std::string& objPath);

}  // namespace faceloom
