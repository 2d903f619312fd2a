// A file written beside its target and renamed over it once complete, so a failed or
// interrupted write leaves no file and an earlier one as it was. Errors name the target
// and say what to check. One writer per object.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tweather {

class AtomicFile {
public:
    explicit AtomicFile(std::string path) : path_(std::move(path)) {}
    ~AtomicFile() {
        if (file_) std::fclose(file_);
        if (!temp_.empty()) std::remove(temp_.c_str());
    }

    bool open(std::string& error) {
        std::string name = path_ + ".tmp-XXXXXX";
        const int fd = mkstemp(name.data());
        if (fd < 0) return fail(error, errno);
        temp_ = name;
        file_ = fdopen(fd, "wb");
        if (!file_) {
            const int e = errno;
            ::close(fd);
            return fail(error, e);
        }
        std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
        return true;
    }

    void write(const void* data, size_t bytes) {
        if (ok_ && std::fwrite(data, 1, bytes, file_) != bytes) ok_ = false;
    }

    // Flushes, syncs and renames; on any failure the temporary file goes and the target
    // stays as it was.
    bool commit(std::string& error) {
        int e = 0;
        if (!ok_ || std::fflush(file_) != 0 || ::fsync(fileno(file_)) != 0) e = errno ? errno : EIO;
        if (std::fclose(file_) != 0 && e == 0) e = errno ? errno : EIO;
        file_ = nullptr;
        if (e == 0 && std::rename(temp_.c_str(), path_.c_str()) != 0) e = errno;
        if (e != 0) return fail(error, e);
        temp_.clear();
        // mkstemp creates 0600; the particles are an ordinary document.
        ::chmod(path_.c_str(), 0644);
        return true;
    }

private:
    bool fail(std::string& error, int e) {
        error = "cannot write '" + path_ + "': " + std::strerror(e) + " (check the folder exists and is writable)";
        return false;
    }

    std::string path_, temp_;
    std::FILE* file_ = nullptr;
    bool ok_ = true;
};

}  // namespace tweather
