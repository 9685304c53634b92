#include "GltfJob.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "GltfAccessor.h"
#include "GltfGeometry.h"
#include "GltfPrimitive.h"
#include "GltfScene.h"
#include "GltfWriter.h"
#include "MemoryBudget.h"
#include "MergedObjWriter.h"
#include "MtlLibrary.h"
#include "OutputFile.h"
#include "RunSubdivision.h"
#include "SceneMerge.h"

namespace faceloom {

namespace {

using Json = nlohmann::ordered_json;

// Refines one surface as the OBJ run does, into memory. `clean` turns false when it
// reported an error.
std::optional<RefinedMesh> refineSurface(const ObjMesh& mesh, const char* outputPath,
                                         const RefineSettings& settings, Diagnostics& diagnostics,
                                         bool& clean) {
    const std::optional<RunOptions> options = checkRun(mesh, settings.wanted, diagnostics);
    if (!options) {
        clean = false;
        return std::nullopt;
    }
    bool reportedNothing = false;
    std::optional<RefinedMesh> refined =
        refineMesh(mesh, outputPath, *options, diagnostics, &reportedNothing, settings.times);
    clean = clean && reportedNothing;
    return refined;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
}

// The primitives of a glTF document, refined one at a time.
class PrimitiveRefiner {
public:
    PrimitiveRefiner(const GltfDocument& document, const char* outputPath,
                     const RefineSettings& settings, Diagnostics& diagnostics)
        : document_(document),
          outputPath_(outputPath),
          settings_(settings),
          diagnostics_(diagnostics),
          maxBytes_(loadableBytes(availableMemory())) {}

    // Whether primitive p of mesh m is a surface to refine, after a warning when it
    // is not; `keepsAll` when what the refinement can't carry stops it too (for a
    // glTF output; an OBJ file can hold none of it anyway). `leftAs` says what
    // becomes of a primitive that is not refined.
    bool refinable(std::size_t m, std::size_t p, bool keepsAll, const char* leftAs) {
        const tinygltf::Primitive& primitive = document_.model.meshes[m].primitives[p];
        const std::string where =
            "[" + document_.sourcePath + "] " + primitiveName(document_.model, m, p);
        if (const std::string why = whyNoSurface(primitive); !why.empty()) {
            diagnostics_.progress("Warning : " + where + ": " + why + ": " + leftAs + "\n");
            return false;
        }
        const std::vector<std::string> lost = attributesLostByRefining(primitive);
        if (!lost.empty()) {
            diagnostics_.progress("Warning : " + where + " has " + joined(lost) +
                                  (keepsAll ? ", which the refinement can't carry: written "
                                              "as it was, unrefined\n"
                                            : ", which OBJ can't hold: left out\n"));
            return !keepsAll;
        }
        return true;
    }

    // Refines primitive p of mesh m; nothing after reporting why it could not.
    std::optional<RefinedMesh> refine(std::size_t m, std::size_t p) {
        const std::string name = document_.sourcePath + " " + primitiveName(document_.model, m, p);
        std::optional<ObjMesh> mesh;
        try {
            mesh = primitiveMesh(document_.model, document_.model.meshes[m].primitives[p], name,
                                 maxBytes_);
        } catch (const GltfError& e) {
            diagnostics_.error("ERROR : Can't read [" + document_.sourcePath +
                               "]: " + primitiveName(document_.model, m, p) + ": " + e.what());
            clean_ = false;
            return std::nullopt;
        }
        diagnostics_.progress("Refining [" + name + "]: " + std::to_string(mesh->faceCount()) +
                              " triangles\n");
        return refineSurface(*mesh, outputPath_, settings_, diagnostics_, clean_);
    }

    bool clean() const { return clean_; }

private:
    const GltfDocument& document_;
    const char* outputPath_;
    const RefineSettings& settings_;
    Diagnostics& diagnostics_;
    std::uint64_t maxBytes_;
    bool clean_ = true;
};

// The name of the mesh an OBJ file becomes: its file name without the extension.
std::string stemOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The refined facets by material, in order of first use (`materials` gets each
// group's); no groups, and the one material kNoMaterial, when no facet has one.
std::vector<std::vector<std::uint32_t>> facetsByMaterial(const RefinedMesh& mesh,
                                                         std::vector<std::uint32_t>& materials) {
    std::vector<std::vector<std::uint32_t>> groups;
    std::map<std::uint32_t, std::size_t> groupOf;
    const bool labelled = mesh.facetMaterials.size() == mesh.facetCount();
    if (!labelled) {
        materials.push_back(kNoMaterial);
        return groups;  // none: every facet, in one primitive
    }
    for (std::uint32_t facet = 0; facet < mesh.facetCount(); ++facet) {
        const std::uint32_t material = mesh.facetMaterials[facet];
        const auto group = groupOf.emplace(material, groups.size());
        if (group.second) {
            groups.emplace_back();
            materials.push_back(material);
        }
        groups[group.first->second].push_back(facet);
    }
    return groups;
}

// The glTF materials of an OBJ file's materials: colour, opacity and texture where
// its libraries give them, never metallic (glTF's default would make them metal).
class MaterialConversion {
public:
    explicit MaterialConversion(const ObjMesh& mesh)
        : libraries_(readMaterialLibraries(mesh.materialLibraries, mesh.sourcePath)) {}

    // The glTF material for OBJ material `name`, added on first use.
    std::size_t materialOf(const std::string& name) {
        const auto known = index_.emplace(name, materials_.size());
        if (known.second) {
            materials_.push_back(material(name));
        }
        return known.first->second;
    }
    void addTo(Json& document) {
        for (const char* key : {"materials", "textures", "images"}) {
            Json& list = key[0] == 'm' ? materials_ : key[0] == 't' ? textures_ : images_;
            if (!list.empty()) {
                document[key] = std::move(list);
            }
        }
    }

private:
    Json material(const std::string& name) {
        Json pbr = {{"metallicFactor", 0}};
        Json result = {{"name", name}};
        const auto found = libraries_.find(name);
        if (found != libraries_.end()) {
            const ObjMaterial& m = found->second;
            pbr["baseColorFactor"] = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.opacity};
            if (m.opacity < 1.0) {
                result["alphaMode"] = "BLEND";
            }
            if (!m.diffuseMap.empty()) {
                pbr["baseColorTexture"] = {{"index", textureOf(m)}};
            }
        }
        result["pbrMetallicRoughness"] = std::move(pbr);
        return result;
    }

    // The texture of a material's diffuse map; its image named from the OBJ file's
    // directory, as the writer expects the input's images to be.
    std::size_t textureOf(const ObjMaterial& m) {
        const auto slash = m.library.find_last_of('/');
        const std::string path = m.diffuseMap.front() == '/' || slash == std::string::npos
                                     ? m.diffuseMap
                                     : m.library.substr(0, slash + 1) + m.diffuseMap;
        const auto known = textureIndex_.emplace(path, textures_.size());
        if (known.second) {
            images_.push_back({{"uri", uriOfPath(path)}});
            textures_.push_back({{"source", images_.size() - 1}});
        }
        return known.first->second;
    }

    std::map<std::string, ObjMaterial> libraries_;
    std::map<std::string, std::size_t> index_, textureIndex_;
    Json materials_ = Json::array(), textures_ = Json::array(), images_ = Json::array();
};

// A document of one node and one mesh of `materials.size()` primitives, the i-th of
// material materials[i] (kNoMaterial for none).
Json objDocument(const ObjMesh& mesh, const RefinedMesh& refined,
                 const std::vector<std::uint32_t>& materials) {
    const std::string name = stemOf(mesh.sourcePath);
    Json document = {{"asset", {{"version", "2.0"}, {"generator", "Faceloom"}}},
                     {"scene", 0},
                     {"scenes", Json::array({{{"nodes", Json::array({0})}}})},
                     {"nodes", Json::array({{{"mesh", 0}, {"name", name}}})}};
    Json primitives = Json::array();
    MaterialConversion conversion(mesh);
    for (std::uint32_t material : materials) {
        Json primitive = {{"attributes", Json::object()}};
        if (material != kNoMaterial && material < refined.materialNames.size()) {
            primitive["material"] = conversion.materialOf(refined.materialNames[material]);
        }
        primitives.push_back(std::move(primitive));
    }
    document["meshes"] = Json::array({{{"name", name}, {"primitives", std::move(primitives)}}});
    conversion.addTo(document);
    return document;
}

void reportWriteFailure(const GltfWriteFailure& failure, Diagnostics& diagnostics) {
    diagnostics.error("ERROR : Can't write to [" + failure.path + "]: " + failure.why);
}

}  // namespace

bool refineGltfToGltf(const GltfDocument& document, const char* outputPath, bool binary,
                      const RefineSettings& settings, Diagnostics& diagnostics) {
    PrimitiveRefiner refiner(document, outputPath, settings, diagnostics);
    std::vector<RefinedPrimitive> refined;
    const auto& meshes = document.model.meshes;
    for (std::size_t m = 0; m < meshes.size(); ++m) {
        for (std::size_t p = 0; p < meshes[m].primitives.size(); ++p) {
            if (!refiner.refinable(m, p, true, "written as it was")) {
                continue;
            }
            std::optional<RefinedMesh> mesh = refiner.refine(m, p);
            if (!mesh) {
                return false;  // nothing is written without every surface
            }
            refined.push_back({m, p, gltfGeometry(std::move(*mesh))});
        }
    }
    const GltfWriteFailure failure = writeGltf(document, refined, outputPath, binary);
    if (!failure.path.empty()) {
        reportWriteFailure(failure, diagnostics);
        return false;
    }
    return refiner.clean();
}

bool refineGltfToObj(const GltfDocument& document, const char* outputPath,
                     const RefineSettings& settings, Diagnostics& diagnostics) {
    PrimitiveRefiner refiner(document, outputPath, settings, diagnostics);
    const std::vector<MeshInstance> instances = sceneInstances(document.model);
    std::map<std::pair<std::size_t, std::size_t>, std::optional<RefinedMesh>> surfaces;
    SceneMerge merge(document.model);
    for (std::size_t i = 0; i < instances.size(); ++i) {
        const std::size_t m = instances[i].mesh;
        for (std::size_t p = 0; p < document.model.meshes[m].primitives.size(); ++p) {
            const auto key = std::make_pair(m, p);
            auto known = surfaces.find(key);
            if (known == surfaces.end()) {
                std::optional<RefinedMesh> surface;
                if (refiner.refinable(m, p, false, "left out")) {
                    surface = refiner.refine(m, p);
                    if (!surface) {
                        return false;
                    }
                }
                known = surfaces.emplace(key, std::move(surface)).first;
            }
            if (known->second) {
                merge.add(*known->second, instances[i], document.model.meshes[m].primitives[p]);
            }
        }
    }
    const RefinedMesh& merged = merge.mesh();
    if (merged.facetCount() == 0) {
        diagnostics.error("ERROR : [" + document.sourcePath +
                          "] has no triangles in its scene to refine: nothing written");
        return false;
    }
    OutputFile file(outputPath);
    if (!(file.open() && writeMergedObj(merged, file) && file.commit())) {
        diagnostics.error("ERROR : Can't write to [" + std::string(outputPath) +
                          "]: " + std::strerror(file.error()));
        return false;
    }
    return refiner.clean();
}

bool refineObjToGltf(const ObjMesh& mesh, const char* outputPath, bool binary,
                     const RefineSettings& settings, Diagnostics& diagnostics) {
    bool clean = true;
    std::optional<RefinedMesh> refined =
        refineSurface(mesh, outputPath, settings, diagnostics, clean);
    if (!refined) {
        return false;
    }
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::uint32_t> materials;
    const std::vector<std::vector<std::uint32_t>> groups = facetsByMaterial(*refined, materials);
    GltfDocument document;
    document.sourcePath = mesh.sourcePath;
    document.json = objDocument(mesh, *refined, materials);
    std::vector<RefinedPrimitive> primitives;
    if (groups.empty()) {
        primitives.push_back({0, 0, gltfGeometry(std::move(*refined))});
    } else {
        const std::vector<Point3f> normals = positionNormals(*refined);
        for (std::size_t g = 0; g < groups.size(); ++g) {
            primitives.push_back({0, g, gltfGeometry(*refined, normals, &groups[g])});
        }
    }
    for (RefinedPrimitive& primitive : primitives) {
        primitive.geometry.flipV = true;  // OBJ's v runs up the image, glTF's down it
    }
    const GltfWriteFailure failure = writeGltf(document, primitives, outputPath, binary);
    if (settings.times != nullptr) {
        settings.times->write +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (!failure.path.empty()) {
        reportWriteFailure(failure, diagnostics);
        return false;
    }
    return clean;
}

}  // namespace faceloom
