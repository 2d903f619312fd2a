#include "host/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>

namespace host {

namespace {

std::string refusal(const std::string& path, const std::string& what, const std::string& reason) {
    return "cannot read " + (what.empty() ? "" : what + " ") + "'" + path + "': " + reason;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "it is a folder, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
    if (S_ISFIFO(mode)) return "it is a pipe, not a file";
    if (S_ISSOCK(mode)) return "it is a socket, not a file";
    return "it is not a regular file";
}

struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

bool readInputFile(const std::string& path, const std::string& what, std::string& bytes, std::string& error,
                   const InputFileOptions& options) {
    // Non-blocking so that opening a FIFO with no writer returns at once; the kind is then
    // read from the open descriptor, so it cannot change between the check and the read.
    const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        error = refusal(path, what, std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        error = refusal(path, what, std::strerror(errno));
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = refusal(path, what, kindOf(info.st_mode));
        return false;
    }
    const std::string tooLarge =
        "it is larger than " + std::to_string(options.maxBytes >> 20) + " MiB, more than this reader takes";
    if (info.st_size > 0 && uint64_t(info.st_size) > options.maxBytes) {
        error = refusal(path, what, tooLarge);
        return false;
    }
    std::string text;
    text.reserve(size_t(std::max<off_t>(info.st_size, 0)));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = refusal(path, what, std::strerror(errno));
            return false;
        }
        if (n == 0) break;
        // A file can grow while it is read, or claim no size at all (/proc).
        if (text.size() + size_t(n) > options.maxBytes) {
            error = refusal(path, what, tooLarge);
            return false;
        }
        text.append(buffer, size_t(n));
    }
    if (options.dropByteOrderMark && text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    bytes = std::move(text);
    return true;
}

bool staysInsideFolder(const std::string& name) {
    if (name.empty()) return false;
    const std::filesystem::path p(name);
    if (p.has_root_path()) return false;
    for (const std::filesystem::path& part : p)
        if (part == "..") return false;
    return true;
}

}  // namespace host
