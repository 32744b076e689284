// File helpers of the packer (POSIX): whole-file reads, block reads, and output files that never
// replace anything but a regular file.
#ifndef TSARIN_TOOLS_PACK_IO_H
#define TSARIN_TOOLS_PACK_IO_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads the whole file. On failure returns false with a message naming the file.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error);

// A file read in blocks; "-" is standard input.
class InputFile {
 public:
  InputFile() = default;
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool Open(const std::string& path, std::string* error);
  // Reads up to size bytes into data; *got is 0 at the end of the file.
  bool Read(void* data, size_t size, size_t* got, std::string* error);

 private:
  std::string path_;
  int fd_ = -1;
  bool ownFd_ = false;
};

// An output file.
// - A regular file, or a name that does not exist yet, appears under its final name only when
//   Commit succeeds: it is written to a temporary file beside it and renamed over it, keeping
//   the permissions of a file it replaces. Without a successful Commit the temporary file is
//   removed and nothing of it is left behind.
// - A symbolic link is written through: the file it points to is replaced as above (or written
//   directly, when that is not a regular file), and the link stays. A link to nothing is
//   refused.
// - Anything else that exists (a character or block device, a FIFO, a socket), and "-" for
//   standard output, is written directly: opened as it is, never created, renamed or removed.
// A durable output is flushed to the disk before Commit returns (for regular files).
class OutputFile {
 public:
  enum class Sync { kNone, kDurable };

  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const std::string& path, Sync sync, std::string* error);
  // Write failures are remembered and reported by Commit.
  void Write(const void* data, size_t size);
  uint64_t BytesWritten() const { return written_; }
  bool Commit(std::string* error);

 private:
  bool Flush();
  void Discard();

  std::string path_;      // as given, for messages
  std::string tempPath_;  // empty when written directly
  std::string finalPath_;
  int fd_ = -1;
  bool ownFd_ = false;
  bool durable_ = false;
  int failedErrno_ = 0;
  uint64_t written_ = 0;
  std::vector<uint8_t> buffer_;
};

// Writes data to path (see OutputFile), without flushing it to the disk.
bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string* error);

#endif  // TSARIN_TOOLS_PACK_IO_H
