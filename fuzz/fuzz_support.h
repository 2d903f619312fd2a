// What the fuzz targets share: the input as a file for readers that take a path. Each
// target keeps the readers' contract: a refusal is fine, a crash, a hang, a leak or an
// exception leaving the reader is not.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace wx::fuzz {

// The bytes in a file of this process's own (rewritten on every input), named with the
// extension the reader dispatches on. In memory (/dev/shm) where there is one: rewriting a
// file on disk on every run costs more than some of the readers.
inline std::string asFile(const uint8_t* data, size_t size, const char* extension) {
    static const std::string folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    const std::string path = folder + "/wx-fuzz-" + std::to_string(::getpid()) + extension;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n <= 0) break;
            done += size_t(n);
        }
        ::close(fd);
    }
    return path;
}

}  // namespace wx::fuzz
