// Helpers for the readers' refusal tests: a scratch folder, files written byte for byte,
// and the meshes the open scene holds after an import.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "host/scene.h"
#include "max/object.h"

namespace hostile {

struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char t[] = "/tmp/wx_hostile_XXXXXX";
        path = mkdtemp(t);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::filesystem::create_directories(std::filesystem::path(path + "/" + name).parent_path());
        std::ofstream(path + "/" + name, std::ios::binary) << bytes;
        return path + "/" + name;
    }
};

inline std::string base64(const std::string& in) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        auto at = [&](size_t k) { return k < in.size() ? unsigned(static_cast<unsigned char>(in[k])) : 0u; };
        const unsigned v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        out += t[v >> 18 & 63];
        out += t[v >> 12 & 63];
        out += i + 1 < in.size() ? t[v >> 6 & 63] : '=';
        out += i + 2 < in.size() ? t[v & 63] : '=';
    }
    return out;
}

// The bytes of plain values, for glTF buffers.
template <class T>
std::string bytesOf(const std::vector<T>& values) {
    return std::string(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
}

// The mesh of the named node's own object, or null.
inline Mesh* meshOf(const wchar_t* name) {
    INode* n = host::currentScene().findByName(name);
    auto* tri = n ? dynamic_cast<TriObject*>(n->GetObjectRef()) : nullptr;
    return tri ? &tri->GetMesh() : nullptr;
}

// True when every face of every mesh in the open scene names vertices that exist.
inline bool everyFaceIsInside() {
    for (INode* n : host::currentScene().allNodes()) {
        auto* tri = dynamic_cast<TriObject*>(n->GetObjectRef());
        if (!tri) continue;
        const Mesh& m = tri->GetMesh();
        for (int f = 0; f < m.numFaces; ++f)
            for (int c = 0; c < 3; ++c)
                if (m.faces[f].v[c] >= DWORD(m.numVerts)) return false;
    }
    return true;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace hostile
