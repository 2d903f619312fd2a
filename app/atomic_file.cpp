#include "app/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tweather {

AtomicFile::~AtomicFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty()) std::remove(temp_.c_str());
}

bool AtomicFile::open(std::string& error) {
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

void AtomicFile::write(const void* data, size_t bytes) {
    if (ok_ && std::fwrite(data, 1, bytes, file_) != bytes) ok_ = false;
}

bool AtomicFile::commit(std::string& error) {
    int e = 0;
    if (!ok_ || std::fflush(file_) != 0 || ::fsync(fileno(file_)) != 0) e = errno ? errno : EIO;
    if (std::fclose(file_) != 0 && e == 0) e = errno ? errno : EIO;
    file_ = nullptr;
    if (e == 0 && std::rename(temp_.c_str(), path_.c_str()) != 0) e = errno;
    if (e != 0) return fail(error, e);
    temp_.clear();
    // mkstemp creates 0600; what we write is an ordinary document.
    ::chmod(path_.c_str(), 0644);
    return true;
}

bool AtomicFile::fail(std::string& error, int e) {
    error = "cannot write '" + path_ + "': " + std::strerror(e) + " (check the folder exists and is writable)";
    return false;
}

}  // namespace tweather
