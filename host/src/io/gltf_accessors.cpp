#include "gltf_accessors.h"

#include <algorithm>
#include <cstring>

namespace host {

namespace {

// Above this many elements an accessor with no data of its own is refused: its zeros (or
// sparse values) are not backed by the file's size.
constexpr size_t kMaxElementsWithoutData = size_t(1) << 24;

// The end of `count` elements of `elementBytes`, `stride` apart, starting at `offset`;
// false when a step overflows.
bool spanEnd(size_t offset, size_t stride, size_t count, size_t elementBytes, size_t& end) {
    if (count == 0) {
        end = offset;
        return true;
    }
    size_t last = 0;
    return !__builtin_mul_overflow(stride, count - 1, &last) && !__builtin_add_overflow(offset, last, &last) &&
           !__builtin_add_overflow(last, elementBytes, &end);
}

// The bytes of buffer view `index`, checked against its buffer.
bool viewBytes(const tinygltf::Model& m, int index, const unsigned char*& bytes, size_t& length, size_t& stride,
               std::string& why) {
    if (index < 0 || index >= int(m.bufferViews.size())) return why = "buffer view out of range", false;
    const tinygltf::BufferView& v = m.bufferViews[size_t(index)];
    if (v.buffer < 0 || v.buffer >= int(m.buffers.size())) return why = "buffer out of range", false;
    const std::vector<unsigned char>& data = m.buffers[size_t(v.buffer)].data;
    size_t end = 0;
    if (__builtin_add_overflow(v.byteOffset, v.byteLength, &end) || end > data.size())
        return why = "buffer view reaches past its buffer", false;
    bytes = data.data() + v.byteOffset;
    length = v.byteLength;
    stride = v.byteStride;
    return true;
}

template <class T>
bool decode(const unsigned char* p, int componentType, bool normalized, T& value) {
    switch (componentType) {
        case TINYGLTF_COMPONENT_TYPE_FLOAT: {
            float f;
            std::memcpy(&f, p, 4);
            value = T(f);
            return true;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            value = normalized ? T(*p / 255.0f) : T(*p);
            return true;
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
            uint16_t u;
            std::memcpy(&u, p, 2);
            value = normalized ? T(u / 65535.0f) : T(u);
            return true;
        }
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
            uint32_t u;
            std::memcpy(&u, p, 4);
            value = T(u);
            return true;
        }
        default:
            return false;
    }
}

// `count` elements of `components` components from a view, `offset` bytes in.
template <class T>
bool readElements(const tinygltf::Model& m, int view, size_t offset, size_t stride, size_t count, int components,
                  int componentType, bool normalized, T* out, std::string& why, const char* what) {
    const unsigned char* bytes = nullptr;
    size_t length = 0, viewStride = 0;
    if (!viewBytes(m, view, bytes, length, viewStride, why)) return false;
    const int csize = tinygltf::GetComponentSizeInBytes(uint32_t(componentType));
    if (csize <= 0) return why = "unknown component type", false;
    const size_t element = size_t(csize) * size_t(components);
    if (stride == 0) stride = viewStride ? viewStride : element;
    size_t end = 0;
    if (!spanEnd(offset, stride, count, element, end) || end > length)
        return why = std::string(what) + " reaches past its buffer", false;
    for (size_t i = 0; i < count; ++i)
        for (int c = 0; c < components; ++c)
            if (!decode(bytes + offset + i * stride + size_t(c) * size_t(csize), componentType, normalized,
                        out[i * size_t(components) + size_t(c)]))
                return why = "unsupported component type", false;
    return true;
}

// Writes the sparse values over `out` (count elements of `components`).
template <class T>
bool applySparse(const tinygltf::Model& m, const tinygltf::Accessor& a, int components, std::vector<T>& out,
                 std::string& why) {
    const auto& s = a.sparse;
    if (s.count < 1 || size_t(s.count) > a.count)
        return why = "sparse count " + std::to_string(s.count) + " is outside 1 .. the accessor's count", false;
    if (s.indices.byteOffset < 0 || s.values.byteOffset < 0) return why = "sparse data has a negative offset", false;
    if (s.indices.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
        s.indices.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
        s.indices.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT)
        return why = "sparse indices are not unsigned integers", false;
    const size_t n = size_t(s.count);
    std::vector<uint32_t> at(n);
    std::vector<T> values(n * size_t(components));
    // Sparse indices and values are tightly packed whatever their views' strides say.
    const int indexBytes = tinygltf::GetComponentSizeInBytes(uint32_t(s.indices.componentType));
    const int valueBytes = tinygltf::GetComponentSizeInBytes(uint32_t(a.componentType)) * components;
    if (!readElements(m, s.indices.bufferView, size_t(s.indices.byteOffset), size_t(indexBytes), n, 1,
                      s.indices.componentType, false, at.data(), why, "sparse indices") ||
        !readElements(m, s.values.bufferView, size_t(s.values.byteOffset), size_t(std::max(valueBytes, 1)), n,
                      components, a.componentType, a.normalized, values.data(), why, "sparse values"))
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (at[i] >= a.count)
            return why = "sparse index " + std::to_string(at[i]) + " is past the accessor's " +
                         std::to_string(a.count) + " elements",
                   false;
        std::copy_n(values.begin() + std::ptrdiff_t(i * size_t(components)), components,
                    out.begin() + std::ptrdiff_t(size_t(at[i]) * size_t(components)));
    }
    return true;
}

template <class T>
bool readAccessorAs(const tinygltf::Model& m, int index, int components, std::vector<T>& out, std::string& why) {
    if (index < 0 || index >= int(m.accessors.size())) return why = "accessor index out of range", false;
    const tinygltf::Accessor& a = m.accessors[size_t(index)];
    if (tinygltf::GetNumComponentsInType(uint32_t(a.type)) != components)
        return why = "accessor has the wrong type", false;
    // A count is checked against real data before anything is allocated for it, so a
    // hostile file cannot ask for terabytes.
    if (a.bufferView < 0) {
        if (a.count > kMaxElementsWithoutData) return why = "accessor without data is too large", false;
        out.assign(a.count * size_t(components), T(0));  // all zeros, as the format says
    } else {
        if (a.bufferView < int(m.bufferViews.size())) {
            const tinygltf::BufferView& v = m.bufferViews[size_t(a.bufferView)];
            if (v.buffer >= 0 && v.buffer < int(m.buffers.size()) && a.count > m.buffers[size_t(v.buffer)].data.size())
                return why = "accessor count exceeds its buffer", false;
        }
        out.assign(a.count * size_t(components), T(0));
        if (!readElements(m, a.bufferView, a.byteOffset, 0, a.count, components, a.componentType, a.normalized,
                          out.data(), why, "accessor"))
            return false;
    }
    return !a.sparse.isSparse || applySparse(m, a, components, out, why);
}

}  // namespace

bool readGltfAccessor(const tinygltf::Model& m, int index, int components, std::vector<float>& out, std::string& why) {
    return readAccessorAs(m, index, components, out, why);
}

bool readGltfIndices(const tinygltf::Model& m, int index, std::vector<uint32_t>& out, std::string& why) {
    if (index < 0 || index >= int(m.accessors.size())) return why = "accessor index out of range", false;
    if (m.accessors[size_t(index)].componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) return why = "float indices", false;
    return readAccessorAs(m, index, 1, out, why);
}

}  // namespace host
