// A zlib stream of stored (uncompressed) deflate blocks: header 0x78 0x01, blocks of at
// most 65535 data bytes behind a 5-byte header (BFINAL/BTYPE, LEN, NLEN), then the
// Adler-32 of the data. The data is produced in bands of 64 blocks: worker threads fill
// one band (through parallelFor) while a writer thread hands the previous one to the
// sink, so memory stays at two bands however long the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace wx {

constexpr size_t kStoredBlockMax = 65535;  // data bytes in one stored block
constexpr size_t kStoredBlockHeader = 5;

// Bytes of the whole stream (header, blocks, Adler-32) for rawSize bytes of data.
inline uint64_t zlibStoredSize(uint64_t rawSize) {
    uint64_t blocks = rawSize == 0 ? 1 : (rawSize + kStoredBlockMax - 1) / kStoredBlockMax;
    return 2 + rawSize + blocks * kStoredBlockHeader + 4;
}

// Writes data bytes [from, to) into out; called from several threads at once for
// disjoint ranges of at most a few KiB.
using RawFill = std::function<void(uint64_t from, uint64_t to, uint8_t* out)>;

// Receives the stream's bytes in order, from one thread at a time (not always the
// caller's); returning false stops the stream.
using ByteSink = std::function<bool(const uint8_t* bytes, size_t size)>;

// Produces the whole stream for rawSize bytes of data; false when the sink refused.
bool streamZlibStored(uint64_t rawSize, const RawFill& fill, const ByteSink& sink);

}  // namespace wx
