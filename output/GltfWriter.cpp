#include "GltfWriter.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <limits>
#include <set>

#include "GltfReferences.h"
#include "MaterialLibraryPath.h"
#include "OutputFile.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "glTF's binary data is little-endian, and is written as it lies in memory");
static_assert(sizeof(faceloom::Point3f) == 12 && sizeof(faceloom::Point2f) == 8,
              "vertex arrays are written as they lie in memory");

namespace faceloom {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;

// What a stretch of the output buffer holds: bytes copied as they are, or one array of
// a refined primitive's geometry.
enum class Part { kBytes, kPositions, kNormals, kUvs, kShortIndices, kIndices };

struct Piece {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    const unsigned char* bytes = nullptr;  // for kBytes
    const GltfGeometry* geometry = nullptr;
    Part part = Part::kBytes;
};

// Writes one array of `geometry` a stretch at a time, through `buffer`.
bool writeGeometry(ByteSink& sink, const GltfGeometry& geometry, Part part,
                   std::vector<char>& buffer) {
    constexpr std::size_t kChunk = std::size_t{1} << 16;  // elements a stretch
    const bool vertices = part != Part::kShortIndices && part != Part::kIndices;
    const std::size_t count = vertices ? geometry.vertexCount() : geometry.indexCount();
    buffer.resize(kChunk * sizeof(Point3f));
    std::vector<std::uint32_t> indices(part == Part::kShortIndices ? kChunk : 0);
    for (std::size_t first = 0; first < count; first += kChunk) {
        const std::size_t n = std::min(kChunk, count - first);
        std::size_t bytes = 0;
        if (part == Part::kPositions || part == Part::kNormals) {
            auto* out = reinterpret_cast<Point3f*>(buffer.data());
            part == Part::kPositions ? geometry.copyPositions(first, n, out)
                                     : geometry.copyNormals(first, n, out);
            bytes = 12 * n;
        } else if (part == Part::kUvs) {
            geometry.copyUvs(first, n, reinterpret_cast<Point2f*>(buffer.data()));
            bytes = 8 * n;
        } else if (part == Part::kIndices) {
            geometry.copyIndices(first, n, reinterpret_cast<std::uint32_t*>(buffer.data()));
            bytes = 4 * n;
        } else {
            geometry.copyIndices(first, n, indices.data());
            auto* out = reinterpret_cast<std::uint16_t*>(buffer.data());
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = static_cast<std::uint16_t>(indices[i]);
            }
            bytes = 2 * n;
        }
        if (!sink.write(buffer.data(), bytes)) {
            return false;
        }
    }
    return true;
}

// The new buffer, piece after piece.
class BufferLayout {
public:
    // Places `piece` at the first offset from the end that is `residue` past a
    // multiple of 4 (a copied view keeps its alignment, and so its accessors'),
    // and returns that offset.
    std::uint64_t place(Piece piece, std::uint64_t residue = 0) {
        const std::uint64_t aligned = (end_ + 3) / 4 * 4 + residue % 4;
        piece.offset = aligned < end_ ? aligned + 4 : aligned;
        end_ = piece.offset + piece.size;
        pieces_.push_back(piece);
        return piece.offset;
    }
    std::uint64_t size() const { return end_; }

    // Writes the buffer, zeros between its pieces and after them up to `total`.
    bool write(ByteSink& sink, std::uint64_t total) const {
        static const char zeros[4] = {0, 0, 0, 0};
        std::uint64_t at = 0;
        std::vector<char> buffer;
        for (const Piece& piece : pieces_) {
            if (!sink.write(zeros, piece.offset - at)) {
                return false;
            }
            const bool written =
                piece.part == Part::kBytes
                    ? sink.write(reinterpret_cast<const char*>(piece.bytes), piece.size)
                    : writeGeometry(sink, *piece.geometry, piece.part, buffer);
            if (!written) {
                return false;
            }
            at = piece.offset + piece.size;
        }
        return sink.write(zeros, total - at);
    }

private:
    std::uint64_t end_ = 0;
    std::vector<Piece> pieces_;
};

template <class T>
const unsigned char* bytesOf(const std::vector<T>& values) {
    return reinterpret_cast<const unsigned char*>(values.data());
}

Json& arrayAt(Json& document, const char* key) {
    Json& array = document[key];
    if (!array.is_array()) {
        array = Json::array();
    }
    return array;
}

// Appends an accessor and the buffer view holding its bytes (laid out later, from
// `piece`); returns the accessor's index.
class GeometryAppender {
public:
    // Both arrays made before either is held: adding a member to the document may
    // move the others.
    explicit GeometryAppender(Json& document, std::vector<Piece>& newViews)
        : document_(document),
          newViews_(newViews),
          firstNewView_((arrayAt(document, "accessors"), arrayAt(document, "bufferViews").size())) {
    }

    std::size_t add(Json accessor, Piece piece, int target) {
        Json& views = document_["bufferViews"];
        Json& accessors = document_["accessors"];
        accessor["bufferView"] = views.size();
        views.push_back({{"buffer", 0}, {"byteLength", piece.size}, {"target", target}});
        newViews_.push_back(piece);
        accessors.push_back(std::move(accessor));
        return accessors.size() - 1;
    }
    std::size_t firstNewView() const { return firstNewView_; }

private:
    Json& document_;
    std::vector<Piece>& newViews_;
    std::size_t firstNewView_;
};

Json floats(const Point3f& v) {
    return Json::array({double(v.x), double(v.y), double(v.z)});
}

// Points the primitive at accessors of `geometry`; the accessors it named before
// become candidates for removal.
void replaceGeometry(Json& primitive, const GltfGeometry& geometry, GeometryAppender& append,
                     std::set<std::size_t>& candidates) {
    Json holder = {{"meshes", {{{"primitives", {primitive}}}}}};
    forEachAccessorReference(holder,
                             [&](Json& index) { candidates.insert(index.get<std::size_t>()); });
    const std::uint64_t n = geometry.vertexCount();
    const auto piece = [&](std::uint64_t size, Part part) {
        return Piece{0, size, nullptr, &geometry, part};
    };
    Json attributes = Json::object();
    attributes["POSITION"] = append.add({{"componentType", kFloat},
                                         {"count", n},
                                         {"type", "VEC3"},
                                         {"min", floats(geometry.min)},
                                         {"max", floats(geometry.max)}},
                                        piece(12 * n, Part::kPositions), kArrayBuffer);
    attributes["NORMAL"] = append.add({{"componentType", kFloat}, {"count", n}, {"type", "VEC3"}},
                                      piece(12 * n, Part::kNormals), kArrayBuffer);
    if (geometry.textured()) {
        attributes["TEXCOORD_0"] =
            append.add({{"componentType", kFloat}, {"count", n}, {"type", "VEC2"}},
                       piece(8 * n, Part::kUvs), kArrayBuffer);
    }
    // 16-bit indices name vertices below 65535 (which is kept for restarting strips).
    const bool shortIndices = n < 65535;
    const std::uint64_t count = geometry.indexCount();
    primitive["attributes"] = std::move(attributes);
    primitive["indices"] = append.add(
        {{"componentType", shortIndices ? kUnsignedShort : kUnsignedInt},
         {"count", count},
         {"type", "SCALAR"}},
        shortIndices ? piece(2 * count, Part::kShortIndices) : piece(4 * count, Part::kIndices),
        kElementArrayBuffer);
    primitive.erase("mode");  // triangles
    primitive.erase("targets");
    // The compressed form would stand for the geometry that was replaced.
    const auto extensions = primitive.find("extensions");
    if (extensions != primitive.end() && extensions->is_object()) {
        extensions->erase("KHR_draco_mesh_compression");
        if (extensions->empty()) {
            primitive.erase("extensions");
        }
    }
}

std::uint64_t unsignedMember(const Json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number_unsigned() ? found->get<std::uint64_t>() : 0;
}

// Lays out every buffer view that stays in the one new buffer: a copied view keeps
// its bytes, from the input's buffer, and its alignment. Sets `failure` for a view
// whose bytes lie outside its buffer.
BufferLayout layOutViews(Json& document, const std::vector<std::size_t>& oldIndex,
                         const std::vector<Piece>& newViews, std::size_t firstNewView,
                         const tinygltf::Model& model, std::string& failure) {
    BufferLayout layout;
    Json& views = arrayAt(document, "bufferViews");
    for (std::size_t v = 0; v < views.size(); ++v) {
        Json& view = views[v];
        std::uint64_t offset = 0;
        if (oldIndex[v] >= firstNewView) {
            offset = layout.place(newViews[oldIndex[v] - firstNewView]);
        } else {
            const std::uint64_t buffer = unsignedMember(view, "buffer");
            const std::uint64_t start = unsignedMember(view, "byteOffset");
            const std::uint64_t length = unsignedMember(view, "byteLength");
            if (buffer >= model.buffers.size() || start > model.buffers[buffer].data.size() ||
                length > model.buffers[buffer].data.size() - start) {
                failure = "buffer view " + std::to_string(oldIndex[v]) +
                          " of the input runs past the end of its buffer";
                return layout;
            }
            offset = layout.place({0, length, model.buffers[buffer].data.data() + start}, start);
            // Its bytes are copied as they are: the uncompressed ones, when it has both.
            const auto extensions = view.find("extensions");
            if (extensions != view.end() && extensions->is_object()) {
                extensions->erase("EXT_meshopt_compression");
                if (extensions->empty()) {
                    view.erase("extensions");
                }
            }
        }
        view["buffer"] = 0;
        view["byteOffset"] = offset;
    }
    return layout;
}

bool hasScheme(const std::string& uri) {
    const auto colon = uri.find(':');
    if (colon == std::string::npos || colon == 0 ||
        !std::isalpha(static_cast<unsigned char>(uri[0]))) {
        return false;
    }
    return uri.find_first_not_of(
               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.") >= colon;
}

std::string decodeUri(const std::string& uri) {
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() &&
            std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
            path += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

std::string encodeUri(const std::string& path) {
    static const char* kHex = "0123456789ABCDEF";
    std::string uri;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::strchr("-._~!$&'()*+,;=:@/", c) != nullptr) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 15];
        }
    }
    return uri;
}

// Relative image URIs, which name files from the input's directory, rewritten to
// name them from the output's.
void relocateImages(Json& document, const std::string& inputPath, const std::string& outputPath) {
    const auto images = document.find("images");
    if (images == document.end() || !images->is_array()) {
        return;
    }
    for (Json& image : *images) {
        const auto uri = image.is_object() ? image.find("uri") : image.end();
        if (uri == image.end() || !uri->is_string()) {
            continue;
        }
        const std::string text = uri->get<std::string>();
        if (hasScheme(text) || text.empty() || text.front() == '/') {
            continue;  // data:, http:, file:, or an absolute path: the same from anywhere
        }
        const std::string path = decodeUri(text);
        const std::string moved = pathFromOutput(path, inputPath, outputPath);
        if (moved != path) {
            *uri = encodeUri(moved);
        }
    }
}

// Takes `name` off the document's lists of extensions used and required.
void dropExtension(Json& document, const std::string& name) {
    for (const char* list : {"extensionsUsed", "extensionsRequired"}) {
        const auto found = document.find(list);
        if (found == document.end() || !found->is_array()) {
            continue;
        }
        Json kept = Json::array();
        for (Json& entry : *found) {
            if (!(entry.is_string() && entry.get<std::string>() == name)) {
                kept.push_back(std::move(entry));
            }
        }
        if (kept.empty()) {
            document.erase(list);
        } else {
            *found = std::move(kept);
        }
    }
}

// Whether an object of document[key] has the extension `name`.
bool objectsUse(const Json& document, const char* key, const char* name) {
    const auto objects = document.find(key);
    if (objects == document.end() || !objects->is_array()) {
        return false;
    }
    for (const Json& object : *objects) {
        const auto extensions = object.is_object() ? object.find("extensions") : object.end();
        if (extensions != object.end() && extensions->is_object() && extensions->contains(name)) {
            return true;
        }
    }
    return false;
}

// Whether a primitive of the document still has the extension `name`.
bool primitivesUse(const Json& document, const char* name) {
    const auto meshes = document.find("meshes");
    if (meshes == document.end() || !meshes->is_array()) {
        return false;
    }
    for (const Json& mesh : *meshes) {
        if (mesh.is_object() && objectsUse(mesh, "primitives", name)) {
            return true;
        }
    }
    return false;
}

// The extensions the written document no longer needs: compression its refined
// primitives and copied views dropped, quantization once every primitive is refined
// to floats (and no instancing attributes may be quantized).
void dropUnneededExtensions(Json& document, bool everyPrimitiveRefined) {
    if (!primitivesUse(document, "KHR_draco_mesh_compression")) {
        dropExtension(document, "KHR_draco_mesh_compression");
    }
    dropExtension(document, "EXT_meshopt_compression");
    if (everyPrimitiveRefined && !objectsUse(document, "nodes", "EXT_mesh_gpu_instancing")) {
        dropExtension(document, "KHR_mesh_quantization");
    }
}

std::size_t primitiveCount(const Json& document) {
    std::size_t count = 0;
    const auto meshes = document.find("meshes");
    if (meshes != document.end() && meshes->is_array()) {
        for (const Json& mesh : *meshes) {
            const auto primitives = mesh.is_object() ? mesh.find("primitives") : mesh.end();
            count += primitives != mesh.end() && primitives->is_array() ? primitives->size() : 0;
        }
    }
    return count;
}

// glTF forbids empty arrays: one the removals emptied goes.
void dropIfEmpty(Json& document, const char* key) {
    const auto found = document.find(key);
    if (found != document.end() && found->is_array() && found->empty()) {
        document.erase(found);
    }
}

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "scene.gltf" -> "scene.bin", beside it.
std::string binaryPathFor(const std::string& outputPath) {
    const auto slash = outputPath.find_last_of('/');
    const auto dot = outputPath.find_last_of('.');
    const bool extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (extension ? outputPath.substr(0, dot) : outputPath) + ".bin";
}

GltfWriteFailure failureOf(const std::string& path, const OutputFile& file) {
    return {path, std::strerror(file.error() != 0 ? file.error() : EIO)};
}

void putUint32(std::string& out, std::uint64_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

GltfWriteFailure writeBinary(const std::string& json, const BufferLayout& layout,
                             const std::string& outputPath) {
    const std::uint64_t jsonLength = (json.size() + 3) / 4 * 4;
    const std::uint64_t binLength = (layout.size() + 3) / 4 * 4;
    const std::uint64_t total = 12 + 8 + jsonLength + (binLength > 0 ? 8 + binLength : 0);
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        return {outputPath,
                "it would be larger than the 4 GiB a glTF binary can hold: write "
                ".gltf (its data goes to a .bin file beside it)"};
    }
    std::string head = "glTF";
    putUint32(head, 2);
    putUint32(head, total);
    putUint32(head, jsonLength);
    head += "JSON";
    head += json;
    head.append(jsonLength - json.size(), ' ');
    if (binLength > 0) {
        putUint32(head, binLength);
        head.append("BIN\0", 4);
    }
    OutputFile file(outputPath);
    const bool written = file.open() && file.write(head.data(), head.size()) &&
                         layout.write(file, binLength) && file.commit();
    return written ? GltfWriteFailure{} : failureOf(outputPath, file);
}

GltfWriteFailure writeJsonAndBin(const std::string& json, const BufferLayout& layout,
                                 const std::string& outputPath, const std::string& binPath) {
    OutputFile bin(binPath), text(outputPath);
    const bool withBin = layout.size() > 0;
    if (withBin && !(bin.open() && layout.write(bin, layout.size()))) {
        return failureOf(binPath, bin);
    }
    if (!(text.open() && text.write(json.data(), json.size()))) {
        return failureOf(outputPath, text);
    }
    // Both written: put in place, the data first, which the JSON names.
    if (withBin && !bin.commit()) {
        return failureOf(binPath, bin);
    }
    return text.commit() ? GltfWriteFailure{} : failureOf(outputPath, text);
}

}  // namespace

std::string uriOfPath(const std::string& path) {
    return encodeUri(path);
}

GltfWriteFailure writeGltf(const GltfDocument& document,
                           const std::vector<RefinedPrimitive>& refined,
                           const std::string& outputPath, bool binary) {
    Json json = document.json;
    std::vector<Piece> newViews;
    std::set<std::size_t> candidates;
    GeometryAppender append(json, newViews);
    for (const RefinedPrimitive& r : refined) {
        replaceGeometry(json.at("meshes").at(r.mesh).at("primitives").at(r.primitive), r.geometry,
                        append, candidates);
    }
    const std::vector<std::size_t> oldIndex = removeUnreferenced(json, candidates);
    std::string failure;
    const BufferLayout layout =
        layOutViews(json, oldIndex, newViews, append.firstNewView(), document.model, failure);
    if (!failure.empty()) {
        return {outputPath, failure};
    }
    const std::string binPath = binaryPathFor(outputPath);
    json.erase("buffers");
    if (layout.size() > 0) {
        Json buffer = {{"byteLength", layout.size()}};
        if (!binary) {
            buffer["uri"] = encodeUri(baseName(binPath));
        }
        json["buffers"] = Json::array({std::move(buffer)});
    }
    for (const char* key : {"accessors", "bufferViews"}) {
        dropIfEmpty(json, key);
    }
    relocateImages(json, document.sourcePath, outputPath);
    dropUnneededExtensions(json, refined.size() == primitiveCount(json));
    const std::string text = json.dump();
    return binary ? writeBinary(text, layout, outputPath)
                  : writeJsonAndBin(text, layout, outputPath, binPath);
}

}  // namespace faceloom
