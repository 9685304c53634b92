#include "GltfReferences.h"

#include <vector>

namespace faceloom {

namespace {

using Json = nlohmann::ordered_json;

// Calls `visit(array element)` for each element of document[key] when that is an
// array of objects.
template <class Visit>
void forEachObject(Json& document, const char* key, const Visit& visit) {
    const auto found = document.find(key);
    if (found == document.end() || !found->is_array()) {
        return;
    }
    for (Json& element : *found) {
        if (element.is_object()) {
            visit(element);
        }
    }
}

// The index at object[key], when it is one.
void visitMember(Json& object, const char* key, const IndexVisit& visit) {
    if (!object.is_object()) {
        return;
    }
    const auto found = object.find(key);
    if (found != object.end() && found->is_number_unsigned()) {
        visit(*found);
    }
}

// Every index among the values of object[key], a map of names to indices.
void visitValues(Json& object, const char* key, const IndexVisit& visit) {
    if (!object.is_object()) {
        return;
    }
    const auto found = object.find(key);
    if (found == object.end() || !found->is_object()) {
        return;
    }
    for (auto& [name, index] : found->items()) {
        if (index.is_number_unsigned()) {
            visit(index);
        }
    }
}

// object["extensions"][name], or null.
Json* extension(Json& object, const char* name) {
    const auto extensions = object.find("extensions");
    if (extensions == object.end() || !extensions->is_object()) {
        return nullptr;
    }
    const auto found = extensions->find(name);
    return found == extensions->end() || !found->is_object() ? nullptr : &*found;
}

template <class Visit>
void forEachPrimitive(Json& document, const Visit& visit) {
    forEachObject(document, "meshes",
                  [&](Json& mesh) { forEachObject(mesh, "primitives", visit); });
}

}  // namespace

void forEachAccessorReference(Json& document, const IndexVisit& visit) {
    forEachPrimitive(document, [&](Json& primitive) {
        visitValues(primitive, "attributes", visit);
        visitMember(primitive, "indices", visit);
        forEachObject(primitive, "targets", [&](Json& target) {
            for (auto& [name, index] : target.items()) {
                if (index.is_number_unsigned()) {
                    visit(index);
                }
            }
        });
    });
    forEachObject(document, "skins",
                  [&](Json& skin) { visitMember(skin, "inverseBindMatrices", visit); });
    forEachObject(document, "animations", [&](Json& animation) {
        forEachObject(animation, "samplers", [&](Json& sampler) {
            visitMember(sampler, "input", visit);
            visitMember(sampler, "output", visit);
        });
    });
    forEachObject(document, "nodes", [&](Json& node) {
        if (Json* instancing = extension(node, "EXT_mesh_gpu_instancing")) {
            visitValues(*instancing, "attributes", visit);
        }
    });
}

void forEachBufferViewReference(Json& document, const IndexVisit& visit) {
    forEachObject(document, "accessors", [&](Json& accessor) {
        visitMember(accessor, "bufferView", visit);
        const auto sparse = accessor.find("sparse");
        if (sparse != accessor.end() && sparse->is_object()) {
            for (const char* part : {"indices", "values"}) {
                const auto found = sparse->find(part);
                if (found != sparse->end()) {
                    visitMember(*found, "bufferView", visit);
                }
            }
        }
    });
    forEachObject(document, "images",
                  [&](Json& image) { visitMember(image, "bufferView", visit); });
    forEachPrimitive(document, [&](Json& primitive) {
        if (Json* draco = extension(primitive, "KHR_draco_mesh_compression")) {
            visitMember(*draco, "bufferView", visit);
        }
    });
}

namespace {

// Removes the elements of document[key] that `drop` marks and renumbers the
// references `forEach` visits. Returns the old index of each element left.
template <class ForEach>
std::vector<std::size_t> removeMarked(Json& document, const char* key,
                                      const std::vector<bool>& drop, const ForEach& forEach) {
    std::vector<std::size_t> newIndex(drop.size()), oldIndex;
    Json kept = Json::array();
    Json& array = document[key];
    for (std::size_t i = 0; i < drop.size(); ++i) {
        newIndex[i] = oldIndex.size();
        if (!drop[i]) {
            oldIndex.push_back(i);
            kept.push_back(std::move(array[i]));
        }
    }
    array = std::move(kept);
    forEach(document, [&](Json& index) {
        const auto old = index.get<std::uint64_t>();
        if (old < newIndex.size()) {
            index = newIndex[old];
        }
    });
    return oldIndex;
}

// The elements of document[key] that `forEach` finds no reference to.
template <class ForEach>
std::vector<bool> unreferenced(Json& document, std::size_t count, const ForEach& forEach) {
    std::vector<bool> unused(count, true);
    forEach(document, [&](Json& index) {
        const auto i = index.get<std::uint64_t>();
        if (i < count) {
            unused[i] = false;
        }
    });
    return unused;
}

std::size_t arraySize(const Json& document, const char* key) {
    const auto found = document.find(key);
    return found != document.end() && found->is_array() ? found->size() : 0;
}

}  // namespace

std::vector<std::size_t> removeUnreferenced(Json& document,
                                            const std::set<std::size_t>& candidates) {
    const std::size_t accessors = arraySize(document, "accessors");
    const std::vector<bool> unusedAccessor =
        unreferenced(document, accessors, forEachAccessorReference);
    std::vector<bool> dropAccessor(accessors, false);
    // The buffer views the dropped accessors used are the candidates among the views.
    Json dropped = Json::object();
    dropped["accessors"] = Json::array();
    for (std::size_t a : candidates) {
        if (a < accessors && unusedAccessor[a]) {
            dropAccessor[a] = true;
            dropped["accessors"].push_back(document["accessors"][a]);
        }
    }
    std::vector<bool> viewCandidate(arraySize(document, "bufferViews"), false);
    forEachBufferViewReference(dropped, [&](Json& index) {
        const auto v = index.get<std::uint64_t>();
        if (v < viewCandidate.size()) {
            viewCandidate[v] = true;
        }
    });
    if (accessors > 0) {
        removeMarked(document, "accessors", dropAccessor, forEachAccessorReference);
    }
    const std::size_t views = viewCandidate.size();
    std::vector<bool> dropView = unreferenced(document, views, forEachBufferViewReference);
    for (std::size_t v = 0; v < views; ++v) {
        dropView[v] = dropView[v] && viewCandidate[v];
    }
    if (views == 0) {
        return {};
    }
    return removeMarked(document, "bufferViews", dropView, forEachBufferViewReference);
}

}  // namespace faceloom
