#include "tools/pack_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kOutputBuffer = size_t{1} << 18;

std::string Reason(int error) {
  return std::strerror(error);
}

// Writes all of size bytes; false with errno set on failure.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  InputFile in;
  if (!in.Open(path, error)) return false;
  struct stat st;
  if (path != "-" && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    out->reserve(static_cast<size_t>(st.st_size));
  uint8_t block[65536];
  for (;;) {
    size_t got = 0;
    if (!in.Read(block, sizeof block, &got, error)) return false;
    if (got == 0) return true;
    out->insert(out->end(), block, block + got);
  }
}

InputFile::~InputFile() {
  if (ownFd_) close(fd_);
}

bool InputFile::Open(const std::string& path, std::string* error) {
  if (ownFd_) close(fd_);
  path_ = path;
  ownFd_ = path != "-";
  fd_ = ownFd_ ? open(path.c_str(), O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
  if (fd_ < 0) {
    ownFd_ = false;
    *error = "cannot open " + path + ": " + Reason(errno);
    return false;
  }
  return true;
}

bool InputFile::Read(void* data, size_t size, size_t* got, std::string* error) {
  for (;;) {
    ssize_t n = read(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *got = 0;
      *error = "cannot read " + path_ + ": " + Reason(errno);
      return false;
    }
    *got = static_cast<size_t>(n);
    return true;
  }
}

OutputFile::~OutputFile() {
  Discard();
}

void OutputFile::Discard() {
  if (ownFd_) close(fd_);
  fd_ = -1;
  ownFd_ = false;
  if (!tempPath_.empty()) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

bool OutputFile::Open(const std::string& path, Sync sync, std::string* error) {
  Discard();
  path_ = path;
  finalPath_ = path;
  durable_ = sync == Sync::kDurable;
  failedErrno_ = 0;
  written_ = 0;
  buffer_.clear();
  buffer_.reserve(kOutputBuffer);
  if (path == "-") {
    fd_ = STDOUT_FILENO;
    return true;
  }
  mode_t mask = umask(0);
  umask(mask);
  mode_t mode = 0666 & ~mask;
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    if (S_ISLNK(st.st_mode)) {
      char resolved[PATH_MAX];
      if (stat(path.c_str(), &st) != 0 || realpath(path.c_str(), resolved) == nullptr) {
        *error = "refusing " + path + ": a symbolic link to nothing that can be written (" +
                 Reason(errno) + ")";
        return false;
      }
      finalPath_ = resolved;
    }
    if (S_ISDIR(st.st_mode)) {
      *error = "cannot write " + path + ": it is a directory";
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      // A device, FIFO or socket: written as it is; renaming a file over it would replace it.
      fd_ = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
      if (fd_ < 0) {
        *error = "cannot open " + path + ": " + Reason(errno);
        return false;
      }
      ownFd_ = true;
      return true;
    }
    mode = st.st_mode & 07777;
  } else if (errno != ENOENT) {
    *error = "cannot examine " + path + ": " + Reason(errno);
    return false;
  }
  std::string pattern = finalPath_ + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) {
    *error = "cannot create a temporary file beside " + finalPath_ + ": " + Reason(errno);
    return false;
  }
  ownFd_ = true;
  tempPath_ = name.data();
  // mkstemp makes the file private; give it the permissions of the file it replaces, or those
  // a new file normally gets.
  fchmod(fd_, mode);
  return true;
}

bool OutputFile::Flush() {
  if (failedErrno_ == 0 && !buffer_.empty() && !WriteAll(fd_, buffer_.data(), buffer_.size()))
    failedErrno_ = errno;
  buffer_.clear();
  return failedErrno_ == 0;
}

void OutputFile::Write(const void* data, size_t size) {
  if (fd_ < 0 || failedErrno_ != 0 || size == 0) return;
  written_ += size;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (buffer_.size() + size > kOutputBuffer) {
    if (!Flush()) return;
    if (size >= kOutputBuffer) {
      if (!WriteAll(fd_, bytes, size)) failedErrno_ = errno;
      return;
    }
  }
  buffer_.insert(buffer_.end(), bytes, bytes + size);
}

bool OutputFile::Commit(std::string* error) {
  if (fd_ < 0) {
    *error = "no output file is open";
    return false;
  }
  bool ok = Flush();
  struct stat st;
  if (ok && durable_ && fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && fsync(fd_) != 0) {
    failedErrno_ = errno;
    ok = false;
  }
  if (ownFd_) {
    if (close(fd_) != 0 && ok) {
      failedErrno_ = errno;
      ok = false;
    }
    ownFd_ = false;
  }
  fd_ = -1;
  if (!ok) {
    *error = "cannot write " + path_ + ": " + Reason(failedErrno_);
    Discard();
    return false;
  }
  if (tempPath_.empty()) return true;
  if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    *error = "cannot rename " + tempPath_ + " to " + finalPath_ + ": " + Reason(errno);
    Discard();
    return false;
  }
  tempPath_.clear();
  if (durable_) {
    // The new name is durable once its directory is.
    int dir = open(DirectoryOf(finalPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
      fsync(dir);
      close(dir);
    }
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string* error) {
  OutputFile out;
  if (!out.Open(path, OutputFile::Sync::kNone, error)) return false;
  out.Write(data.data(), data.size());
  return out.Commit(error);
}
