#include "app/particle_files.h"

#include <bit>
#include <charconv>
#include <cstdint>

#include "app/atomic_file.h"

#include "app/atomic_file.h"

namespace tweather {
namespace {

constexpr size_t kProgressEvery = 65536;  // particles between progress calls

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
