#include "app/obj_io.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace tweather {
namespace {

std::string_view nextToken(std::string_view& rest) {
    size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    size_t end = rest.find_first_of(" \t", start);
    if (end == std::string_view::npos) end = rest.size();
    std::string_view token = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return token;
}

bool parseFloat(std::string_view token, float& value) {
    if (!token.empty() && token.front() == '+') token.remove_prefix(1);
    const char* end = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), end, value);
    // An out-of-range value is a number too: it becomes an infinity, and the builder
    // skips the faces that use it.
    if (ec == std::errc::result_out_of_range) {
        value = (!token.empty() && token.front() == '-') ? -std::numeric_limits<float>::infinity()
                                                         : std::numeric_limits<float>::infinity();
        return true;
    }
    return ec == std::errc() && ptr == end && !token.empty();
}

bool readFile(const std::string& path, std::string& text) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

}  // namespace

bool readObj(const std::string& path, ObjMesh& mesh, std::string& error) {
    mesh = ObjMesh{};
    std::string text;
    if (!readFile(path, text)) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    auto fail = [&](size_t line, const std::string& what) {
        error = path + ":" + std::to_string(line) + ": " + what;
        mesh = ObjMesh{};
        return false;
    };
    // Positive indices may point at vertices defined later; they are checked at the end.
    int64_t largestIndex = 0;
    size_t largestLine = 0;
    std::vector<int64_t> polygon;
    size_t lineNo = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string_view line(text.data() + pos, eol - pos);
        pos = eol + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find('\0') != std::string_view::npos) return fail(lineNo, "not a text line (holds a NUL byte)");
        const std::string_view keyword = nextToken(line);
        if (keyword == "v") {
            float c[3];
            for (float& value : c) {
                const std::string_view token = nextToken(line);
                if (!parseFloat(token, value))
                    return fail(lineNo, "a vertex needs three numbers, got '" + std::string(token) + "'");
            }
            if (mesh.positions.size() >= size_t(std::numeric_limits<int32_t>::max()))
                return fail(lineNo, "more vertices than 2^31 - 1");
            mesh.positions.push_back({c[0], c[1], c[2]});
        } else if (keyword == "f") {
            polygon.clear();
            for (std::string_view token = nextToken(line); !token.empty(); token = nextToken(line)) {
                const std::string_view vertex = token.substr(0, token.find('/'));
                int64_t index = 0;
                const char* end = vertex.data() + vertex.size();
                auto [ptr, ec] = std::from_chars(vertex.data(), end, index);
                if (ec != std::errc() || ptr != end || index == 0 || index > std::numeric_limits<int32_t>::max() ||
                    index < -int64_t(std::numeric_limits<int32_t>::max()))
                    return fail(lineNo, "bad face corner '" + std::string(token) + "'");
                if (index < 0) {
                    if (-index > int64_t(mesh.positions.size()))
                        return fail(lineNo,
                                    "face corner " + std::string(token) + " reaches back past the first vertex");
                    index = int64_t(mesh.positions.size()) + index;
                } else {
                    if (index > largestIndex) largestIndex = index, largestLine = lineNo;
                    index -= 1;
                }
                polygon.push_back(index);
            }
            if (polygon.size() < 3) return fail(lineNo, "a face needs at least three corners");
            for (size_t k = 1; k + 1 < polygon.size(); ++k)
                mesh.faces.insert(mesh.faces.end(),
                                  {int32_t(polygon[0]), int32_t(polygon[k]), int32_t(polygon[k + 1])});
        }
    }
    if (largestIndex > int64_t(mesh.positions.size()))
        return fail(largestLine, "face refers to vertex " + std::to_string(largestIndex) + ", but the file has only " +
                                     std::to_string(mesh.positions.size()));
    return true;
}

namespace {

class ObjWriter {
public:
    void text(std::string_view s) { out_.append(s); }
    void number(float v) {
        char buffer[32];
        auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
        out_.append(buffer, ec == std::errc() ? ptr : buffer);
    }
    void integer(int64_t v) {
        char buffer[24];
        auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
        out_.append(buffer, ec == std::errc() ? ptr : buffer);
    }
    void vec(const char* keyword, wx::V3 p, int n) {
        text(keyword);
        const float c[3] = {p.x, p.y, p.z};
        for (int k = 0; k < n; ++k) text(" "), number(c[k]);
        text("\n");
    }
    // Writes out the buffer once it has grown, so memory stays bounded on big shells.
    bool flush(FILE* f, bool force) {
        if (!force && out_.size() < (1u << 22)) return true;
        const bool ok = std::fwrite(out_.data(), 1, out_.size(), f) == out_.size();
        out_.clear();
        return ok;
    }

private:
    std::string out_;
};

}  // namespace

bool writeSnowObj(const std::string& path, const ObjMesh* object, const wx::SnowShell& shell, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        error = "cannot write '" + path + "': " + std::strerror(errno);
        return false;
    }
    ObjWriter w;
    bool ok = true;
    w.text("# tweather snow: the object and its snow shell, world units, Z up\n");
    const size_t objectVertices = object ? object->positions.size() : 0;
    if (object) {
        for (wx::V3 p : object->positions) w.vec("v", p, 3), ok = ok && w.flush(f, false);
    }
    for (wx::V3 p : shell.vertices) w.vec("v", p, 3), ok = ok && w.flush(f, false);
    for (wx::V3 t : shell.uvw) w.vec("vt", t, 2), ok = ok && w.flush(f, false);
    if (object) {
        w.text("g object\n");
        for (size_t i = 0; i + 2 < object->faces.size(); i += 3) {
            w.text("f");
            for (int k = 0; k < 3; ++k) w.text(" "), w.integer(int64_t(object->faces[i + size_t(k)]) + 1);
            w.text("\n");
            ok = ok && w.flush(f, false);
        }
    }
    if (!shell.indices.empty()) w.text("g snow\n");
    for (size_t i = 0; i + 2 < shell.indices.size(); i += 3) {
        w.text("f");
        for (int k = 0; k < 3; ++k) {
            const int64_t v = shell.indices[i + size_t(k)];
            w.text(" "), w.integer(int64_t(objectVertices) + v + 1), w.text("/"), w.integer(v + 1);
        }
        w.text("\n");
        ok = ok && w.flush(f, false);
    }
    ok = w.flush(f, true) && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = "cannot write '" + path + "': the disk refused the data (full, or removed?)";
    return ok;
}

}  // namespace tweather
