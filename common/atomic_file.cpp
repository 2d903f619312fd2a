#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "common/temp_file_registry.h"

namespace wx {

namespace {

// Writes reach the disk in blocks this large (bytes).
constexpr size_t kBufferBytes = size_t(1) << 20;

bool writeAll(int fd, const char* data, size_t size, int& error) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// A name beside `path` that no other write (in this process or another) uses.
std::string uniqueSibling(const std::string& path, const char* kind) {
    static std::atomic<unsigned> serial{0};
    static const unsigned long long salt = std::random_device{}();
    char suffix[96];
    std::snprintf(suffix, sizeof suffix, ".%s-%d-%u-%08llx", kind, int(::getpid()), serial.fetch_add(1),
                  (salt ^ (uint64_t(serial.load()) * 0x9E3779B97F4A7C15ull)) & 0xffffffffull);
    return path + suffix;
}

// Creates a fresh file (never an existing one, never through a link) and remembers it for
// the signal handler; the descriptor or -1 with errno set.
int createExclusive(const std::string& path, std::string& temp, int& slot) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = uniqueSibling(path, "tmp");
        // Remembered before it exists, so no signal can leave it behind.
        slot = rememberTempFile(temp.c_str());
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0) return fd;
        const int e = errno;
        forgetTempFile(slot);
        slot = -1;
        temp.clear();
        errno = e;
        if (e != EEXIST) return -1;
    }
    return -1;
}

}  // namespace

std::string writeErrorText(const std::string& path, int e) {
    std::string reason;
    switch (e) {
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            reason = "the disk is full (free some space, or write elsewhere)";
            break;
        case EFBIG:
            reason = "the file is full: it reached the largest size allowed here (a file size limit or the disk's)";
            break;
        case EACCES:
        case EPERM:
        case EROFS:
        case ENOENT:
        case ENOTDIR:
            reason = std::string(std::strerror(e)) + " (check the folder exists and is writable)";
            break;
        default:
            reason = std::strerror(e);
    }
    return "cannot write '" + path + "': " + reason;
}

bool checkWritableTarget(const std::string& path, std::string& error, unsigned* mode) {
    if (mode) *mode = kOutputMode;
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) return true;
    if (S_ISDIR(target.st_mode)) {
        error = "cannot write '" + path + "': it is a folder (name a file)";
        return false;
    }
    if (!S_ISREG(target.st_mode)) {
        error = "cannot write '" + path + "': it is not a regular file (name a file)";
        return false;
    }
    if ((target.st_mode & 0222) == 0) {
        error = "cannot write '" + path + "': the file is read-only (make it writable or write elsewhere)";
        return false;
    }
    if (mode) *mode = unsigned(target.st_mode & 07777);
    return true;
}

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() {
    abandon();
}

bool AtomicFile::open(std::string& error) {
    if (!checkWritableTarget(path_, error, &mode_)) return false;
    fd_ = createExclusive(path_, temp_, slot_);
    if (fd_ < 0) return fail(error, errno);
    if (::fchmod(fd_, mode_t(mode_)) != 0) {
        const int e = errno;
        abandon();
        return fail(error, e);
    }
    errno_ = 0;
    buffer_.reserve(kBufferBytes);
    return true;
}

bool AtomicFile::flushBuffer() {
    if (errno_ == 0 && !buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size(), errno_)) {
        buffer_.clear();
        return false;
    }
    buffer_.clear();
    return errno_ == 0;
}

void AtomicFile::write(const void* data, size_t bytes) {
    if (errno_ != 0) return;
    if (fd_ < 0) {
        errno_ = EBADF;
        return;
    }
    const char* from = static_cast<const char*>(data);
    if (buffer_.size() + bytes > kBufferBytes) {
        if (!flushBuffer()) return;
        if (bytes >= kBufferBytes) {
            writeAll(fd_, from, bytes, errno_);
            return;
        }
    }
    buffer_.insert(buffer_.end(), from, from + bytes);
}

bool AtomicFile::finish() {
    if (fd_ < 0) {
        if (errno_ == 0) errno_ = EBADF;
        return false;
    }
    flushBuffer();
    if (errno_ == 0 && ::fsync(fd_) != 0) errno_ = errno;
    if (::close(fd_) != 0 && errno_ == 0) errno_ = errno;
    fd_ = -1;
    return errno_ == 0;
}

bool AtomicFile::commit(std::string& error) {
    if (!finish()) {
        const int e = errno_;
        abandon();
        return fail(error, e);
    }
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int e = errno;
        abandon();
        return fail(error, e);
    }
    forgetTempFile(slot_);
    slot_ = -1;
    temp_.clear();
    return true;
}

void AtomicFile::abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    forgetTempFile(slot_);
    slot_ = -1;
    temp_.clear();
    buffer_.clear();
    buffer_.shrink_to_fit();
}

bool AtomicFile::fail(std::string& error, int e) {
    error = writeErrorText(path_, e);
    return false;
}

bool commitTogether(AtomicFile& first, AtomicFile& second, std::string& error) {
    const bool firstDone = first.finish();
    const bool secondDone = second.finish();
    if (!firstDone || !secondDone) {
        AtomicFile& failed = firstDone ? second : first;
        const int e = failed.errno_;
        first.abandon();
        second.abandon();
        return failed.fail(error, e);
    }
    // A second name for the first target's old contents, to put back if the second
    // rename fails; remembered so a signal leaves no stray copy.
    struct stat old {};
    const bool firstExisted = ::lstat(first.path_.c_str(), &old) == 0;
    std::string backup = uniqueSibling(first.path_, "old");
    int backupSlot = rememberTempFile(backup.c_str());
    if (::link(first.path_.c_str(), backup.c_str()) != 0) {
        forgetTempFile(backupSlot);
        backupSlot = -1;
        backup.clear();
    }
    auto dropBackup = [&] {
        if (!backup.empty()) ::unlink(backup.c_str());
        forgetTempFile(backupSlot);
    };
    if (::rename(first.temp_.c_str(), first.path_.c_str()) != 0) {
        const int e = errno;
        dropBackup();
        first.abandon();
        second.abandon();
        return first.fail(error, e);
    }
    forgetTempFile(first.slot_);
    first.slot_ = -1;
    first.temp_.clear();
    if (::rename(second.temp_.c_str(), second.path_.c_str()) != 0) {
        const int e = errno;
        if (!firstExisted)
            ::unlink(first.path_.c_str());
        else if (!backup.empty() && ::rename(backup.c_str(), first.path_.c_str()) == 0)
            backup.clear();
        dropBackup();
        second.abandon();
        return second.fail(error, e);
    }
    forgetTempFile(second.slot_);
    second.slot_ = -1;
    second.temp_.clear();
    dropBackup();
    return true;
}

bool writeFileAtomically(const std::string& path, const void* bytes, size_t size, std::string& error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    file.write(bytes, size);
    return file.commit(error);
}

}  // namespace wx
