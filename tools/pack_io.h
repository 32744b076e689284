// File helpers of the packer (POSIX): whole-file reads and all-or-nothing output files.
#ifndef TSARIN_TOOLS_PACK_IO_H
#define TSARIN_TOOLS_PACK_IO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reads the whole file. On failure returns false with a message naming the file.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error);

// An output file that appears under its final name only when Commit succeeds: it is written
// to a temporary file beside it and renamed. Without a successful Commit the temporary file
// is removed and nothing of it is left behind.
class AtomicOutputFile {
 public:
  AtomicOutputFile() = default;
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  bool Open(const std::string& path, std::string* error);
  // Write failures are remembered and reported by Commit.
  void Write(const void* data, size_t size);
  uint64_t BytesWritten() const { return written_; }
  bool Commit(std::string* error);

 private:
  void Discard();

  std::string path_;
  std::string tempPath_;
  FILE* file_ = nullptr;
  bool failed_ = false;
  uint64_t written_ = 0;
};

// Writes data to path all or nothing (see AtomicOutputFile).
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string* error);

#endif  // TSARIN_TOOLS_PACK_IO_H
