#include "GltfAccessor.h"

#include <algorithm>
#include <cstring>

namespace faceloom {

namespace {

// The bytes of `count` elements of `elementSize` bytes, `stride` bytes apart.
struct ElementRun {
    const unsigned char* first = nullptr;  // null: every element is zero
    std::size_t stride = 0;
    std::size_t count = 0;
};

std::size_t componentSize(int componentType) {
    switch (componentType) {
        case TINYGLTF_COMPONENT_TYPE_BYTE:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return 1;
        case TINYGLTF_COMPONENT_TYPE_SHORT:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return 2;
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        case TINYGLTF_COMPONENT_TYPE_FLOAT:
            return 4;
        default:
            return 0;  // none of glTF's
    }
}

// Where an accessor (or a part of a sparse one) says its elements are: `count`
// elements of `elementSize` bytes from `byteOffset` in buffer view `view`, `strided`
// when the view's byteStride applies.
struct ElementPlace {
    int view = -1;
    std::uint64_t byteOffset = 0;
    std::uint64_t count = 0;
    std::size_t elementSize = 0;
    bool strided = false;
};

// Checks that the elements at `place` lie in their view and the view in its buffer.
ElementRun elementRun(const tinygltf::Model& model, const ElementPlace& place,
                      const std::string& what) {
    const int viewIndex = place.view;
    const std::uint64_t byteOffset = place.byteOffset, count = place.count;
    const std::size_t elementSize = place.elementSize;
    if (viewIndex < 0 || static_cast<std::size_t>(viewIndex) >= model.bufferViews.size()) {
        throw GltfError(what + " names buffer view " + std::to_string(viewIndex) +
                        ", which does not exist");
    }
    const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(viewIndex)];
    const std::string where = what + " (buffer view " + std::to_string(viewIndex) + ")";
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
        throw GltfError(where + " names buffer " + std::to_string(view.buffer) +
                        ", which does not exist");
    }
    const std::vector<unsigned char>& data =
        model.buffers[static_cast<std::size_t>(view.buffer)].data;
    if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset) {
        throw GltfError(where + " runs past the end of its buffer (" + std::to_string(data.size()) +
                        " bytes)");
    }
    const std::size_t stride =
        place.strided && view.byteStride != 0 ? view.byteStride : elementSize;
    if (stride < elementSize) {
        throw GltfError(where + " has a byte stride of " + std::to_string(stride) +
                        ", less than an element's " + std::to_string(elementSize) + " bytes");
    }
    // Checked without overflow: count <= byteLength before anything is multiplied.
    const std::uint64_t length = view.byteLength;
    if (count > 0 && (byteOffset > length || count > length ||
                      (count - 1) * stride + elementSize > length - byteOffset)) {
        throw GltfError(where + ": its " + std::to_string(count) +
                        " elements run past the end of the view (" + std::to_string(length) +
                        " bytes)");
    }
    return {data.data() + view.byteOffset + byteOffset, stride, count};
}

template <class T>
T loadAs(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// One component as glTF reads it.
float componentValue(const unsigned char* at, int type, bool normalized) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_BYTE: {
            const float c = loadAs<std::int8_t>(at);
            return normalized ? std::max(c / 127.0f, -1.0f) : c;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE: {
            const float c = loadAs<std::uint8_t>(at);
            return normalized ? c / 255.0f : c;
        }
        case TINYGLTF_COMPONENT_TYPE_SHORT: {
            const float c = loadAs<std::int16_t>(at);
            return normalized ? std::max(c / 32767.0f, -1.0f) : c;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            const float c = loadAs<std::uint16_t>(at);
            return normalized ? c / 65535.0f : c;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
            return static_cast<float>(loadAs<std::uint32_t>(at));
        default:
            return loadAs<float>(at);
    }
}

std::uint32_t indexValue(const unsigned char* at, int type) {
    switch (type) {
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return loadAs<std::uint8_t>(at);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return loadAs<std::uint16_t>(at);
        default:
            return loadAs<std::uint32_t>(at);
    }
}

bool isIndexType(int type) {
    return type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
           type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
           type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
}

// The accessor, checked to exist and to have elements of `components` components of
// a type glTF knows; `what` gets its name for messages.
const tinygltf::Accessor& checkedAccessor(const tinygltf::Model& model, int index, int components,
                                          std::string& what) {
    what = "accessor " + std::to_string(index);
    if (index < 0 || static_cast<std::size_t>(index) >= model.accessors.size()) {
        throw GltfError(what + " does not exist");
    }
    const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(index)];
    if (tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(accessor.type)) != components) {
        throw GltfError(
            what + " has " +
            std::to_string(std::max(
                0, tinygltf::GetNumComponentsInType(static_cast<std::uint32_t>(accessor.type)))) +
            " components to an element where " + std::to_string(components) + " are needed");
    }
    if (componentSize(accessor.componentType) == 0) {
        throw GltfError(what + " has a component type glTF does not know (" +
                        std::to_string(accessor.componentType) + ")");
    }
    return accessor;
}

// Reads every element of `accessor` through `store(element, bytes)` (bytes null for
// zeros), its sparse substitutions after the rest.
template <class Store>
void readElements(const tinygltf::Model& model, const tinygltf::Accessor& accessor,
                  std::size_t elementSize, const std::string& what, const Store& store) {
    if (accessor.bufferView >= 0) {
        const ElementRun run = elementRun(
            model, {accessor.bufferView, accessor.byteOffset, accessor.count, elementSize, true},
            what);
        for (std::size_t i = 0; i < run.count; ++i) {
            store(i, run.first + i * run.stride);
        }
    }
    if (!accessor.sparse.isSparse) {
        return;
    }
    const auto& sparse = accessor.sparse;
    const std::string where = what + "'s sparse substitution";
    if (sparse.count < 1 || static_cast<std::uint64_t>(sparse.count) > accessor.count ||
        sparse.indices.byteOffset < 0 || sparse.values.byteOffset < 0 ||
        !isIndexType(sparse.indices.componentType)) {
        throw GltfError(where + " is malformed");
    }
    const auto count = static_cast<std::uint64_t>(sparse.count);
    const std::size_t indexSize = componentSize(sparse.indices.componentType);
    const ElementRun indices = elementRun(
        model,
        {sparse.indices.bufferView, static_cast<std::uint64_t>(sparse.indices.byteOffset), count,
         indexSize, false},
        where);
    const ElementRun values = elementRun(
        model,
        {sparse.values.bufferView, static_cast<std::uint64_t>(sparse.values.byteOffset), count,
         elementSize, false},
        where);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t element =
            indexValue(indices.first + i * indices.stride, sparse.indices.componentType);
        if (element >= accessor.count) {
            throw GltfError(where + " replaces element " + std::to_string(element) + " of " +
                            std::to_string(accessor.count));
        }
        store(element, values.first + i * values.stride);
    }
}

void checkSize(std::uint64_t count, std::size_t bytesEach, std::uint64_t maxBytes,
               const std::string& what) {
    if (count > maxBytes / bytesEach) {
        throw GltfError(what + "'s " + std::to_string(count) +
                        " elements are too many for the memory available");
    }
}

}  // namespace

std::vector<float> readFloatAccessor(const tinygltf::Model& model, int index, int components,
                                     std::uint64_t maxBytes) {
    std::string what;
    const tinygltf::Accessor& accessor = checkedAccessor(model, index, components, what);
    const auto n = static_cast<std::size_t>(components);
    checkSize(accessor.count, n * sizeof(float), maxBytes, what);
    std::vector<float> values(accessor.count * n, 0.0f);
    const std::size_t size = componentSize(accessor.componentType);
    readElements(
        model, accessor, size * n, what, [&](std::size_t element, const unsigned char* bytes) {
            for (std::size_t c = 0; c < n; ++c) {
                values[element * n + c] =
                    componentValue(bytes + c * size, accessor.componentType, accessor.normalized);
            }
        });
    return values;
}

std::vector<std::uint32_t> readIndexAccessor(const tinygltf::Model& model, int index,
                                             std::uint64_t maxBytes) {
    std::string what;
    const tinygltf::Accessor& accessor = checkedAccessor(model, index, 1, what);
    if (!isIndexType(accessor.componentType)) {
        throw GltfError(what + " holds indices of a type other than unsigned byte, short or int");
    }
    checkSize(accessor.count, sizeof(std::uint32_t), maxBytes, what);
    std::vector<std::uint32_t> values(accessor.count, 0);
    readElements(model, accessor, componentSize(accessor.componentType), what,
                 [&](std::size_t element, const unsigned char* bytes) {
                     values[element] = indexValue(bytes, accessor.componentType);
                 });
    return values;
}

}  // namespace faceloom
