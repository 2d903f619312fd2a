// AtomicFile: every file the program writes goes through here. The bytes go to a fresh
// file beside the target (created exclusively under a unique name, so a planted link or
// a second writer is never followed), are flushed to the disk and checked, and only then
// renamed over the target: a failed, full or interrupted write leaves the old file as it
// was. A target keeps its permission bits; a read-only one is refused; a new one gets
// kOutputMode. SIGINT, SIGTERM and SIGHUP remove the temporary files of writes under way.
// One AtomicFile is used by one thread at a time; several may be open at once.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace wx {

// The permission bits of every new output: an ordinary document.
constexpr unsigned kOutputMode = 0644;

class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    // A file neither committed nor abandoned is abandoned: its temporary file goes.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Refuses a target that is a folder or read-only, then creates the temporary file.
    bool open(std::string& error);
    // A failed write is remembered (the first error) and reported by commit.
    void write(const void* data, size_t bytes);
    void write(const std::string& text) { write(text.data(), text.size()); }
    // Whether a write has failed so far (a writer may stop early).
    bool failed() const { return errno_ != 0; }
    // Flushes, syncs and renames; on any failure the temporary file goes and the target
    // stays as it was.
    bool commit(std::string& error);
    // Drops what was written; the target stays as it was.
    void abandon();

    const std::string& path() const { return path_; }
    // Empty unless open and not yet committed or abandoned.
    const std::string& tempPath() const { return temp_; }

private:
    friend bool commitTogether(AtomicFile& first, AtomicFile& second, std::string& error);

    bool flushBuffer();
    // Everything written is on the disk and the file closed; false with errno_ set.
    bool finish();
    bool fail(std::string& error, int e);

    std::string path_, temp_;
    int fd_ = -1;
    int slot_ = -1;  // in the signal handler's table
    int errno_ = 0;
    unsigned mode_ = kOutputMode;
    std::vector<char> buffer_;
};

// Two files that belong together (an OBJ and its .mtl): both are written completely
// before either is renamed, and when the second rename fails the first target gets its
// old contents back, so a failure leaves the old pair.
bool commitTogether(AtomicFile& first, AtomicFile& second, std::string& error);

// The whole of `bytes` to `path` through an AtomicFile.
bool writeFileAtomically(const std::string& path, const void* bytes, size_t size, std::string& error);
inline bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    return writeFileAtomically(path, bytes.data(), bytes.size(), error);
}

// Whether `path` may be replaced: false with a message when it is a folder, not a regular
// file, or read-only (judged by its permission bits, so even root leaves it be). A path
// that does not exist yet is fine. `mode` receives the bits the new file will carry.
bool checkWritableTarget(const std::string& path, std::string& error, unsigned* mode = nullptr);

// The message for a write to `path` that failed with errno `e` ("cannot write 'x': the
// disk is full ..."), naming the cause a user can act on.
std::string writeErrorText(const std::string& path, int e);

}  // namespace wx
