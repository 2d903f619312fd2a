#include "render/zlib_stored.h"

#include <cstring>

namespace wx {

void writeZlibStoredFraming(uint8_t* stream, uint64_t rawSize) {
    stream[0] = 0x78;  // deflate, 32 KiB window
    stream[1] = 0x01;  // no preset dictionary, fastest level; 0x7801 is a multiple of 31
    uint64_t blocks = rawSize == 0 ? 1 : (rawSize + kStoredBlockMax - 1) / kStoredBlockMax;
    for (uint64_t b = 0; b < blocks; ++b) {
        uint8_t* h = stream + 2 + b * (kStoredBlockMax + kStoredBlockHeader);
        bool last = b + 1 == blocks;
        uint16_t len = uint16_t(last ? rawSize - b * kStoredBlockMax : kStoredBlockMax);
        h[0] = last ? 1 : 0;
        h[1] = uint8_t(len);
        h[2] = uint8_t(len >> 8);
        h[3] = uint8_t(~len);
        h[4] = uint8_t(uint16_t(~len) >> 8);
    }
}

void scatterZlibStored(uint8_t* stream, uint64_t rawOffset, const uint8_t* data, size_t size) {
    while (size > 0) {
        size_t room = kStoredBlockMax - rawOffset % kStoredBlockMax;
        size_t piece = room < size ? room : size;
        std::memcpy(stream + zlibStoredOffset(rawOffset), data, piece);
        rawOffset += piece;
        data += piece;
        size -= piece;
    }
}

void writeZlibStoredTrailer(uint8_t* stream, uint64_t rawSize, uint32_t adler) {
    uint8_t* p = stream + zlibStoredSize(rawSize) - 4;
    p[0] = uint8_t(adler >> 24);
    p[1] = uint8_t(adler >> 16);
    p[2] = uint8_t(adler >> 8);
    p[3] = uint8_t(adler);
}

}  // namespace wx
