// The framing of a zlib stream made of stored (uncompressed) deflate blocks: header
// 0x78 0x01, blocks of at most 65535 bytes each behind a 5-byte header (BFINAL/BTYPE,
// LEN, NLEN), then the Adler-32 of the data. The writer fills the framing first and then
// scatters data into it, so the stream is built in one pass without a second copy.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wx {

constexpr size_t kStoredBlockMax = 65535;  // data bytes in one stored block
constexpr size_t kStoredBlockHeader = 5;

// Bytes of the whole stream (header, blocks, Adler-32) for rawSize bytes of data.
inline uint64_t zlibStoredSize(uint64_t rawSize) {
    uint64_t blocks = rawSize == 0 ? 1 : (rawSize + kStoredBlockMax - 1) / kStoredBlockMax;
    return 2 + rawSize + blocks * kStoredBlockHeader + 4;
}

// Where data byte r lands in the stream.
inline uint64_t zlibStoredOffset(uint64_t r) {
    return 2 + (r / kStoredBlockMax) * (kStoredBlockMax + kStoredBlockHeader) + kStoredBlockHeader +
           r % kStoredBlockMax;
}

// Writes the stream header and every block header for rawSize bytes of data.
void writeZlibStoredFraming(uint8_t* stream, uint64_t rawSize);

// Copies data bytes [rawOffset, rawOffset + size) to their places in the stream.
void scatterZlibStored(uint8_t* stream, uint64_t rawOffset, const uint8_t* data, size_t size);

// Writes the Adler-32 trailer of a stream holding rawSize bytes of data.
void writeZlibStoredTrailer(uint8_t* stream, uint64_t rawSize, uint32_t adler);

}  // namespace wx
