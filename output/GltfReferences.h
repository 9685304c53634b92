#pragma once

#include <cstdint>
#include <functional>
#include <set>

#include <nlohmann/json.hpp>

namespace faceloom {

// The places in a glTF document that name an accessor or a buffer view by index:
// those of glTF itself, and of the extensions that name them
// (EXT_mesh_gpu_instancing's attributes, KHR_draco_mesh_compression's buffer view).
// Each visit hands the number to `visit`, which may change it; members that are not
// unsigned integers are passed over.
using IndexVisit = std::function<void(nlohmann::ordered_json& index)>;
void forEachAccessorReference(nlohmann::ordered_json& document, const IndexVisit& visit);
void forEachBufferViewReference(nlohmann::ordered_json& document, const IndexVisit& visit);

// Removes the accessors among `candidates` that nothing names any more, then the
// buffer views among those the removed accessors used that nothing names any more,
// and renumbers what names the rest. Returns, for each buffer view left, the index it
// had before (so that its bytes can be found in the input).
std::vector<std::size_t> removeUnreferenced(nlohmann::ordered_json& document,
                                            const std::set<std::size_t>& candidates);

}  // namespace faceloom
