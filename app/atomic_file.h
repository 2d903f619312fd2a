// A file written beside its target and renamed over it when complete, so a failed or
// interrupted write leaves no file and an earlier one as it was. Messages name the path
// and say what to check.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace tweather {

class AtomicFile {
public:
    explicit AtomicFile(std::string path) : path_(std::move(path)) {}
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool open(std::string& error);
    // A failed write is remembered and reported by commit.
    void write(const void* data, size_t bytes);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // Flushes, syncs and renames; on any failure the temporary file goes and the target
    // stays as it was.
    bool commit(std::string& error);

private:
    bool fail(std::string& error, int e);

    std::string path_, temp_;
    std::FILE* file_ = nullptr;
    bool ok_ = true;
};

}  // namespace tweather
