// CRC-32 with the IEEE polynomial, as zip and gzip compute it (reflected 0xEDB88320, the
// register and the result complemented), so that a file's value here can be cross-checked with
// common tools. Shared by the setup, the packer and the uninstaller.
//
// Usage:
//   uint32_t crc = 0;                          // the CRC-32 of nothing
//   crc = Crc32Update(crc, block, size);       // for every block, in order
//
// Two builds from this source: the fast one (eight bytes a step through eight tables, and on
// x86-64 processors with carry-less multiplication 64 bytes a step by folding) and, where code
// size counts (-Os, the setup program), a small one (a byte a step through one table). Both make
// their tables on first use, so the program file holds none of them.
#ifndef TSARIN_PAYLOAD_CRC32_H
#define TSARIN_PAYLOAD_CRC32_H

#include <cstddef>
#include <cstdint>

// The CRC-32 of the bytes that gave `crc`, followed by `size` bytes at `data`.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);

#endif  // TSARIN_PAYLOAD_CRC32_H
