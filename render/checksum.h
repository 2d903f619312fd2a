// CRC-32 (PNG chunks) and Adler-32 (zlib stream), our own code. Each has a portable
// scalar form and a faster form picked at run time from the CPU's features
// (carry-less multiply folding for CRC-32, AVX2 sums for Adler-32); both forms give the
// same value for every input. Thread safe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace wx {

// CRC-32 with the reflected polynomial 0xEDB88320, initial all ones, final complement.
// Chain calls by passing the previous result as crc (start with 0).
uint32_t crc32(const void* data, size_t size, uint32_t crc = 0);

// Adler-32 (modulus 65521); chain by passing the previous result (start with 1).
uint32_t adler32(const void* data, size_t size, uint32_t adler = 1);

// Adler-32 of A followed by B, given adler32(A), adler32(B) and B's length.
uint32_t adler32Combine(uint32_t adlerA, uint32_t adlerB, uint64_t sizeB);

// The portable forms alone, so that tests can hold the fast forms against them.
uint32_t crc32Portable(const void* data, size_t size, uint32_t crc = 0);
uint32_t adler32Portable(const void* data, size_t size, uint32_t adler = 1);

}  // namespace wx
