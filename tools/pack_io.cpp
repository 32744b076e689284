#include "tools/pack_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  uint8_t block[65536];
  size_t got;
  while ((got = std::fread(block, 1, sizeof block, f)) > 0)
    out->insert(out->end(), block, block + got);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

AtomicOutputFile::~AtomicOutputFile() {
  Discard();
}

void AtomicOutputFile::Discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!tempPath_.empty()) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

bool AtomicOutputFile::Open(const std::string& path, std::string* error) {
  Discard();
  path_ = path;
  failed_ = false;
  written_ = 0;
  std::string pattern = path + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = "cannot create a temporary file beside " + path + ": " + std::strerror(errno);
    return false;
  }
  tempPath_ = name.data();
  // mkstemp makes the file private; give it the permissions a new file normally gets.
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    close(fd);
    *error = "cannot write " + tempPath_ + ": " + std::strerror(errno);
    Discard();
    return false;
  }
  return true;
}

void AtomicOutputFile::Write(const void* data, size_t size) {
  if (file_ == nullptr || failed_ || size == 0) return;
  if (std::fwrite(data, 1, size, file_) != size) failed_ = true;
  written_ += size;
}

bool AtomicOutputFile::Commit(std::string* error) {
  if (file_ == nullptr) {
    *error = "no output file is open";
    return false;
  }
  bool ok = !failed_ && std::fflush(file_) == 0 && fsync(fileno(file_)) == 0;
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (!ok) {
    *error = "cannot write " + path_ + ": " + std::strerror(errno);
    Discard();
    return false;
  }
  if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    *error = "cannot rename " + tempPath_ + " to " + path_ + ": " + std::strerror(errno);
    Discard();
    return false;
  }
  tempPath_.clear();
  return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string* error) {
  AtomicOutputFile out;
  if (!out.Open(path, error)) return false;
  out.Write(data.data(), data.size());
  return out.Commit(error);
}
