#include "app/particle_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tweather {
namespace {

constexpr size_t kProgressEvery = 65536;  // particles between progress calls

// A file written beside its target and renamed over it when complete.
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

// %.9g of the value widened to double, as printf would write it.
char* putValue(char* at, char* end, float v) {
    return std::to_chars(at, end, double(v), std::chars_format::general, 9).ptr;
}

void putFloatLe(char* at, float v) {
    uint32_t bits = std::bit_cast<uint32_t>(v);
    for (int b = 0; b < 4; ++b) at[b] = char((bits >> (8 * b)) & 0xFFu);
}

}  // namespace

bool writeParticlesCsv(const std::string& path, const std::vector<wx::FallParticle>& particles,
                       const WriteProgress& progress, std::string& error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    static constexpr char kHeader[] = "index,x,y,z,vx,vy,vz,size,fade,age\n";
    file.write(kHeader, sizeof kHeader - 1);
    char row[512];
    char* const end = row + sizeof row;
    for (size_t i = 0; i < particles.size(); ++i) {
        const wx::FallParticle& s = particles[i];
        char* at = std::to_chars(row, end, i).ptr;
        for (float v : {s.pos.x, s.pos.y, s.pos.z, s.vel.x, s.vel.y, s.vel.z, s.size, s.fade, s.age}) {
            *at++ = ',';
            at = putValue(at, end, v);
        }
        *at++ = '\n';
        file.write(row, size_t(at - row));
        if (progress && (i + 1) % kProgressEvery == 0) progress(i + 1);
    }
    return file.commit(error);
}

std::string particlePlyHeader(size_t n) {
    std::string h = "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(n) + "\n";
    for (const char* name : {"x", "y", "z", "vx", "vy", "vz", "size", "fade", "age"})
        h += std::string("property float ") + name + "\n";
    return h + "end_header\n";
}

bool writeParticlesPly(const std::string& path, const std::vector<wx::FallParticle>& particles,
                       const WriteProgress& progress, std::string& error) {
    AtomicFile file(path);
    if (!file.open(error)) return false;
    const std::string header = particlePlyHeader(particles.size());
    file.write(header.data(), header.size());
    char record[9 * 4];
    for (size_t i = 0; i < particles.size(); ++i) {
        const wx::FallParticle& s = particles[i];
        int k = 0;
        for (float v : {s.pos.x, s.pos.y, s.pos.z, s.vel.x, s.vel.y, s.vel.z, s.size, s.fade, s.age})
            putFloatLe(record + 4 * k++, v);
        file.write(record, sizeof record);
        if (progress && (i + 1) % kProgressEvery == 0) progress(i + 1);
    }
    return file.commit(error);
}

}  // namespace tweather
