#include "render/zlib_stored.h"

#include <algorithm>
#include <cstring>
#include <future>
#include <vector>

#include "common/parallel_for.h"
#include "render/checksum.h"

namespace wx {
namespace {

constexpr uint64_t kBandBlocks = 64;  // 4 MiB of data per band
constexpr uint64_t kBandRaw = kBandBlocks * kStoredBlockMax;
constexpr uint64_t kSegmentRaw = 2048;  // data bytes per work item: a full band is 2048 items

void putStoredBlockHeader(uint8_t* h, uint16_t len, bool last) {
    h[0] = last ? 1 : 0;  // BFINAL, BTYPE 00 (stored)
    h[1] = uint8_t(len);
    h[2] = uint8_t(len >> 8);
    h[3] = uint8_t(~len);
    h[4] = uint8_t(uint16_t(~len) >> 8);
}

}  // namespace

bool streamZlibStored(uint64_t rawSize, const RawFill& fill, const ByteSink& sink) {
    const uint8_t header[2] = {0x78, 0x01};  // deflate, 32 KiB window; 0x7801 is a multiple of 31
    if (!sink(header, 2)) return false;

    std::vector<uint8_t> bands[2];
    std::vector<uint32_t> segmentAdler;
    std::future<bool> pendingWrite;
    uint32_t adler = 1;
    const uint64_t bandCount = rawSize == 0 ? 1 : (rawSize + kBandRaw - 1) / kBandRaw;
    bool ok = true;
    for (uint64_t band = 0; band < bandCount && ok; ++band) {
        const uint64_t r0 = band * kBandRaw, r1 = std::min(rawSize, r0 + kBandRaw);
        const uint64_t blocks = std::max<uint64_t>(1, (r1 - r0 + kStoredBlockMax - 1) / kStoredBlockMax);
        std::vector<uint8_t>& bytes = bands[band % 2];  // its last write finished before the previous band's began
        bytes.resize((r1 - r0) + blocks * kStoredBlockHeader);
        for (uint64_t b = 0; b < blocks; ++b) {
            uint64_t len = std::min<uint64_t>(kStoredBlockMax, r1 - r0 - b * kStoredBlockMax);
            putStoredBlockHeader(bytes.data() + b * (kStoredBlockMax + kStoredBlockHeader), uint16_t(len),
                                 r0 + b * kStoredBlockMax + len == rawSize);
        }

        const uint64_t segments = (r1 - r0 + kSegmentRaw - 1) / kSegmentRaw;
        segmentAdler.assign(segments, 1);
        parallelFor(segments, [&](size_t s) {
            const uint64_t from = r0 + s * kSegmentRaw, size = std::min(r1, from + kSegmentRaw) - from;
            auto placeOf = [&](uint64_t pos) {  // band-local data position to its byte in the band
                return bytes.data() + (pos / kStoredBlockMax) * (kStoredBlockMax + kStoredBlockHeader) +
                       kStoredBlockHeader + pos % kStoredBlockMax;
            };
            const uint64_t pos = from - r0;
            if (pos % kStoredBlockMax + size <= kStoredBlockMax) {  // inside one block: fill in place
                uint8_t* out = placeOf(pos);
                fill(from, from + size, out);
                segmentAdler[s] = adler32(out, size);
                return;
            }
            uint8_t local[kSegmentRaw];  // straddles a block header: fill aside, then split
            fill(from, from + size, local);
            segmentAdler[s] = adler32(local, size);
            uint64_t first = kStoredBlockMax - pos % kStoredBlockMax;
            std::memcpy(placeOf(pos), local, first);
            std::memcpy(placeOf(pos + first), local + first, size - first);
        });
        for (uint64_t s = 0; s < segments; ++s) {
            uint64_t from = r0 + s * kSegmentRaw;
            adler = adler32Combine(adler, segmentAdler[s], std::min(r1, from + kSegmentRaw) - from);
        }

        if (pendingWrite.valid()) ok = pendingWrite.get();
        if (ok) pendingWrite = std::async(std::launch::async, [&sink, &bytes] { return sink(bytes.data(), bytes.size()); });
    }
    if (pendingWrite.valid()) ok = pendingWrite.get() && ok;
    if (!ok) return false;

    const uint8_t trailer[4] = {uint8_t(adler >> 24), uint8_t(adler >> 16), uint8_t(adler >> 8), uint8_t(adler)};
    return sink(trailer, 4);
}

}  // namespace wx
