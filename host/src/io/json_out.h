// Private to the scene-file code: JSON written straight into a string, byte for byte as
// the JSON library's compact dump writes the same values (its number forms, its escapes,
// its type for each C++ type), without building a document first. Saving and every undo
// step write the whole scene, so the document's allocations per value were most of their
// cost.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "scene_json.h"

namespace host {

class JsonOut {
public:
    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The name of the next member; names are plain ASCII words of the format.
    JsonOut& key(const char* name) {
        separate();
        text_ += '"';
        text_ += name;
        text_ += "\":";
        afterKey_ = true;
        return *this;
    }

    template <class T>
    void value(T v) {
        separate();
        if constexpr (std::is_same_v<T, bool>) {
            text_ += v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::nullptr_t>) {
            text_ += "null";
        } else if constexpr (std::is_floating_point_v<T>) {
            // The library keeps every number with a fraction as a double.
            const double d = double(v);
            if (!std::isfinite(d)) {
                text_ += "null";
                return;
            }
            char buffer[64];
            char* end = nlohmann::detail::to_chars(buffer, buffer + sizeof buffer, d);
            text_.append(buffer, size_t(end - buffer));
        } else if constexpr (std::is_enum_v<T>) {
            value(std::underlying_type_t<T>(v));
        } else {
            static_assert(std::is_integral_v<T>);
            text_ += std::to_string(v);
        }
    }

    // UTF-8 text. Plain printable ASCII is copied as it is; anything else goes through the
    // library, which escapes control characters and refuses malformed UTF-8 as it always has.
    void string(const std::string& s) {
        separate();
        bool plain = true;
        for (unsigned char c : s)
            if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
                plain = false;
                break;
            }
        if (plain) {
            text_ += '"';
            text_ += s;
            text_ += '"';
        } else {
            text_ += Json(s).dump();
        }
    }

    // A value already written as compact JSON.
    void raw(const std::string& json) {
        separate();
        text_ += json;
    }

    void point(const Point3& p) {
        beginArray();
        value(p.x);
        value(p.y);
        value(p.z);
        endArray();
    }

    const std::string& text() const { return text_; }
    std::string take() { return std::move(text_); }

private:
    void open(char c) {
        separate();
        text_ += c;
        first_.push_back(true);
    }
    void close(char c) {
        text_ += c;
        first_.pop_back();
    }
    // The comma before every member or element but the first of its container.
    void separate() {
        if (afterKey_) {
            afterKey_ = false;
            return;
        }
        if (first_.empty()) return;
        if (!first_.back()) text_ += ',';
        first_.back() = false;
    }

    std::string text_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

}  // namespace host
