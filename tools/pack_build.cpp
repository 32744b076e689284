#include "tools/pack_build.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "payload/archive_format.h"
#include "payload/crc32.h"
#include "tools/pack_io.h"
#include "tools/pack_names.h"

namespace {

constexpr uint64_t kMaxEntryLength = 0x7FFFFFFF;
// The setup computes its progress as bytes read x 100 in 32-bit arithmetic.
constexpr uint64_t kMeterSafePayload = 21474836;
constexpr size_t kMaxInstalledPath = 259;
constexpr char kDefaultTarget[] = "C:\\Program Files\\TSarin\\";

std::string JoinPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  return a + "/" + b;
}

struct Listing {
  std::vector<std::string> files;
  std::vector<std::string> directories;
};

bool ListDirectory(const std::string& fullPath, const std::string& relativePath, Listing* out,
                   std::string* error) {
  DIR* dir = opendir(fullPath.c_str());
  if (dir == nullptr) {
    *error = "cannot read directory " + fullPath + ": " + std::strerror(errno);
    return false;
  }
  std::vector<std::string> names;
  errno = 0;
  while (dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.push_back(e->d_name);
  }
  bool readFailed = errno != 0;
  closedir(dir);
  if (readFailed) {
    *error = "cannot read directory " + fullPath;
    return false;
  }
  std::sort(names.begin(), names.end());  // bytewise: char_traits<char> compares unsigned
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    std::string relative = JoinPath(relativePath, name);
    std::string why;
    if (!CheckNameComponent(name, &why)) {
      *error = "refusing \"" + PrintableName(relative) + "\": " + why;
      return false;
    }
    for (size_t j = 0; j < i; ++j) {
      if (SameNameIgnoringCase(names[j], name)) {
        *error = "refusing \"" + relative + "\": differs from \"" +
                 JoinPath(relativePath, names[j]) + "\" only in case, which Windows treats as " +
                 "the same name";
        return false;
      }
    }
    struct stat st;
    std::string full = fullPath + "/" + name;
    if (lstat(full.c_str(), &st) != 0) {
      *error = "cannot examine " + full + ": " + std::strerror(errno);
      return false;
    }
    if (S_ISLNK(st.st_mode)) {
      *error = "refusing \"" + relative + "\": symbolic links are not packed (replace it by " +
               "the file or directory it points to)";
      return false;
    }
    if (S_ISDIR(st.st_mode)) {
      out->directories.push_back(name);
    } else if (S_ISREG(st.st_mode)) {
      out->files.push_back(name);
    } else {
      *error = "refusing \"" + relative + "\": neither a regular file nor a directory";
      return false;
    }
  }
  return true;
}

bool WalkDirectory(const std::string& fullPath, const std::string& relativePath, PackTree* tree,
                   std::string* error) {
  PackDirectory here;
  here.relativePath = relativePath;
  here.entryPath = relativePath;
  std::replace(here.entryPath.begin(), here.entryPath.end(), '/', '\\');
  std::string why;
  if (!relativePath.empty() && !CheckDirectoryEntryPath(here.entryPath, &why)) {
    *error = "refusing \"" + relativePath + "\": " + why;
    return false;
  }
  Listing listing;
  if (!ListDirectory(fullPath, relativePath, &listing, error)) return false;
  for (const std::string& name : listing.files) {
    PackFile f;
    f.name = name;
    f.relativePath = JoinPath(relativePath, name);
    f.fullPath = fullPath + "/" + name;
    if (!CheckFileEntryName(name, &why)) {
      *error = "refusing \"" + f.relativePath + "\": " + why;
      return false;
    }
    struct stat st;
    if (lstat(f.fullPath.c_str(), &st) != 0) {
      *error = "cannot examine " + f.fullPath + ": " + std::strerror(errno);
      return false;
    }
    f.size = static_cast<uint64_t>(st.st_size);
    f.device = static_cast<uint64_t>(st.st_dev);
    f.inode = static_cast<uint64_t>(st.st_ino);
    if (f.size > kMaxEntryLength) {
      *error = "refusing \"" + f.relativePath + "\": " + std::to_string(f.size) +
               " bytes; an entry holds at most 2147483647";
      return false;
    }
    here.files.push_back(f);
  }
  tree->fileCount += here.files.size();
  tree->directories.push_back(std::move(here));
  for (const std::string& name : listing.directories) {
    if (!WalkDirectory(fullPath + "/" + name, JoinPath(relativePath, name), tree, error))
      return false;
  }
  return true;
}

void PutName(const std::string& name, std::vector<uint8_t>* out) {
  out->insert(out->end(), name.begin(), name.end());
  out->push_back(0);
}

// One file of the archive: read and compressed by a worker, written by the writer.
struct FileJob {
  const PackFile* file = nullptr;
  bool store = false;  // matched a --store pattern
  // Filled in by the worker.
  std::string error;
  uint64_t length = 0;  // bytes read
  uint32_t crc = 0;     // of the bytes read
  bool compressed = false;
  std::vector<uint8_t> packed;  // the stream, when compressed
  bool done = false;
};

constexpr size_t kReadBlock = size_t{1} << 16;

// Reads the file, computing its CRC-32, and compresses it unless it is to be stored. The
// stream is kept when it makes the file smaller and is 5 bytes or more (the setup refuses
// shorter streams); otherwise the file is stored and the writer copies it from the disk.
void CompressFile(ImplodeWriter* compressor, std::vector<uint8_t>* buffer, FileJob* job) {
  InputFile in;
  if (!in.Open(job->file->fullPath, &job->error)) return;
  compressor->Reset();
  ImplodeWriter* writer = job->store ? nullptr : compressor;
  std::vector<uint8_t>& block = *buffer;
  for (;;) {
    size_t got = 0;
    if (!in.Read(block.data(), block.size(), &got, &job->error)) return;
    if (got == 0) break;
    job->crc = Crc32Update(job->crc, block.data(), got);
    job->length += got;
    if (writer == nullptr) continue;
    writer->Write(block.data(), got, &job->packed);
    if (job->packed.size() >= job->file->size) {
      writer->Reset();  // it will not be smaller: stored
      writer = nullptr;
      std::vector<uint8_t>().swap(job->packed);
    }
  }
  if (writer != nullptr) {
    writer->Finish(&job->packed);
    job->compressed = job->packed.size() >= 5 && job->packed.size() < job->length;
  }
  if (!job->compressed) std::vector<uint8_t>().swap(job->packed);
}

// Copies a stored file from the disk through emit, checking that it is what the worker read.
template <typename Emit>
bool CopyStored(const PackFile& f, const FileJob& job, Emit emit, std::string* error) {
  InputFile in;
  if (!in.Open(f.fullPath, error)) return false;
  std::vector<uint8_t> block(kReadBlock);
  uint64_t length = 0;
  uint32_t crc = 0;
  for (;;) {
    size_t got = 0;
    if (!in.Read(block.data(), block.size(), &got, error)) return false;
    if (got == 0) break;
    got = static_cast<size_t>(std::min<uint64_t>(got, job.length - length));
    if (got == 0) break;
    crc = Crc32Update(crc, block.data(), got);
    length += got;
    emit(block.data(), got);
  }
  if (length != job.length || crc != job.crc) {
    *error = "\"" + f.relativePath + "\" changed while it was being packed";
    return false;
  }
  return true;
}

// Threads that compress the files in archive order, ahead of the writer. The streams waiting
// to be written are bounded: a file is started only while the sizes of the files started and
// not yet written add up to at most the largest file plus a fixed amount per job (a file is
// always started when none is waiting), so memory stays at about that much plus what each
// job's compressor uses.
class Workers {
 public:
  Workers(std::vector<FileJob>* jobs, const PackBuildOptions& options)
      : jobs_(*jobs), options_(options.implode) {
    size_t count = options.jobs > 0 ? options.jobs : 1;
    uint64_t largest = 0;
    for (const FileJob& job : jobs_) largest = std::max(largest, job.file->size);
    budget_ = largest + kBudgetPerJob * count;
    for (size_t i = 0; i < count; ++i) threads_.emplace_back([this] { Run(); });
  }
  ~Workers() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
  }

  // The job once its worker is done with it.
  FileJob& WaitFor(size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return jobs_[index].done; });
    return jobs_[index];
  }
  // The job has been written: its memory goes back to the budget.
  void Release(size_t index) {
    std::vector<uint8_t>().swap(jobs_[index].packed);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      inFlight_ -= jobs_[index].file->size;
    }
    changed_.notify_all();
  }

 private:
  static constexpr uint64_t kBudgetPerJob = uint64_t{16} << 20;

  void Run() {
    ImplodeWriter compressor(options_);
    std::vector<uint8_t> buffer(kReadBlock);
    for (;;) {
      size_t index;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] {
          return stop_ || next_ == jobs_.size() || inFlight_ == 0 ||
                 inFlight_ + jobs_[next_].file->size <= budget_;
        });
        if (stop_ || next_ == jobs_.size()) return;
        index = next_++;
        inFlight_ += jobs_[index].file->size;
      }
      CompressFile(&compressor, &buffer, &jobs_[index]);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_[index].done = true;
      }
      changed_.notify_all();
    }
  }

  std::vector<FileJob>& jobs_;
  const ImplodeOptions options_;
  uint64_t budget_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t next_ = 0;
  uint64_t inFlight_ = 0;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace

bool WalkSourceTree(const std::string& root, PackTree* tree, std::string* error) {
  *tree = PackTree();
  struct stat st;
  if (stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    *error = "not a directory: " + root;
    return false;
  }
  if (!WalkDirectory(root, "", tree, error)) return false;
  if (tree->fileCount == 0) {
    *error = "no files to pack in " + root;
    return false;
  }
  return true;
}

bool StubHoldsMarker(const std::vector<uint8_t>& stub, size_t* offset) {
  uint8_t record[archive::kRecordSize];
  for (size_t at = 0; at < stub.size(); at += archive::kRecordSize) {
    size_t n = std::min(archive::kRecordSize, stub.size() - at);
    std::memset(record, 0, sizeof record);
    std::memcpy(record, stub.data() + at, n);
    if (archive::IsMarkerRecord(record)) {
      *offset = at;
      return true;
    }
  }
  return false;
}

void AppendIntegrityRecord(uint32_t spanLength, uint32_t spanCrc,
                           const std::vector<uint32_t>& fileCrcs, std::vector<uint8_t>* out) {
  size_t start = out->size();
  out->resize(start + archive::IntegrityRecordSize(static_cast<uint32_t>(fileCrcs.size())));
  uint8_t* p = out->data() + start;
  std::memcpy(p, archive::kIntegrityMagic, archive::kIntegrityMagicSize);
  p += archive::kIntegrityMagicSize;
  for (uint32_t v : {spanLength, spanCrc, static_cast<uint32_t>(fileCrcs.size())}) {
    archive::PutLE32(p, static_cast<int32_t>(v));
    p += 4;
  }
  for (uint32_t crc : fileCrcs) {
    archive::PutLE32(p, static_cast<int32_t>(crc));
    p += 4;
  }
  archive::PutLE32(p, static_cast<int32_t>(Crc32Update(
                          0, out->data() + start, static_cast<size_t>(p - out->data()) - start)));
}

bool BuildSetupFile(const std::string& sourceDir, const PackBuildOptions& options,
                    PackBuildStats* stats, std::vector<std::string>* warnings, std::string* error) {
  *stats = PackBuildStats();
  if (!ImplodeOptionsValid(options.implode)) {
    *error = "invalid compression options";
    return false;
  }
  PackTree tree;
  if (!WalkSourceTree(sourceDir, &tree, error)) return false;

  // An earlier build lying inside the tree would be packed into the new one.
  struct stat outputStat;
  if (stat(options.output.c_str(), &outputStat) == 0) {
    for (const PackDirectory& dir : tree.directories) {
      for (const PackFile& f : dir.files) {
        if (f.device == static_cast<uint64_t>(outputStat.st_dev) &&
            f.inode == static_cast<uint64_t>(outputStat.st_ino)) {
          *error = "refusing \"" + f.relativePath + "\": it is the output file " + options.output +
                   "; write the output outside the source directory";
          return false;
        }
      }
    }
  }

  std::vector<uint8_t> stub;
  if (!options.stubPath.empty() && !ReadWholeFile(options.stubPath, &stub, error)) return false;
  size_t markerAt = 0;
  if (StubHoldsMarker(stub, &markerAt)) {
    *error = "refusing stub " + options.stubPath + ": it holds the marker record at offset " +
             std::to_string(markerAt) + ", where the setup would take it for the archive";
    return false;
  }
  stub.resize((stub.size() + archive::kRecordSize - 1) / archive::kRecordSize *
              archive::kRecordSize);
  uint8_t marker[archive::kRecordSize];
  archive::WriteMarkerRecord(marker);

  // The files in archive order, compressed by the workers; written here, in order.
  std::vector<FileJob> jobs;
  for (const PackDirectory& dir : tree.directories) {
    for (const PackFile& f : dir.files) {
      FileJob job;
      job.file = &f;
      for (const std::string& glob : options.storeGlobs)
        job.store = job.store || MatchGlob(glob, f.relativePath) || MatchGlob(glob, f.name);
      jobs.push_back(job);
    }
  }
  Workers workers(&jobs, options);

  OutputFile out;  // a release artefact: flushed to the disk
  if (!out.Open(options.output, OutputFile::Sync::kDurable, error)) return false;
  out.Write(stub.data(), stub.size());
  // From the marker to the end entry: the span the integrity record covers.
  uint32_t spanCrc = 0;
  auto emit = [&out, &spanCrc](const void* bytes, size_t size) {
    out.Write(bytes, size);
    spanCrc = Crc32Update(spanCrc, bytes, size);
  };
  emit(marker, sizeof marker);
  uint64_t afterMarker = out.BytesWritten();
  std::vector<uint32_t> fileCrcs;
  PackProgress progress;
  progress.totalFiles = jobs.size();
  for (const FileJob& job : jobs) progress.totalBytes += job.file->size;

  std::vector<uint8_t> entry;
  size_t next = 0;
  for (const PackDirectory& dir : tree.directories) {
    if (!dir.relativePath.empty()) {
      entry.clear();
      PutName(std::string(1, archive::kDirectoryPrefix) + dir.entryPath, &entry);
      emit(entry.data(), entry.size());
      ++stats->directories;
    }
    for (const PackFile& f : dir.files) {
      FileJob& job = workers.WaitFor(next);
      if (!job.error.empty()) {
        *error = job.error;
        return false;
      }
      if (job.length > kMaxEntryLength) {
        *error = "refusing \"" + f.relativePath + "\": it grew beyond 2147483647 bytes";
        return false;
      }
      entry.clear();
      PutName(f.name, &entry);
      uint8_t field[4];
      archive::PutLE32(field, job.compressed
                                  ? static_cast<int32_t>(job.packed.size())
                                  : archive::StoredSizeField(static_cast<uint32_t>(job.length)));
      entry.insert(entry.end(), field, field + 4);
      emit(entry.data(), entry.size());
      if (job.compressed) {
        emit(job.packed.data(), job.packed.size());
        ++stats->compressed;
      } else if (!CopyStored(f, job, emit, error)) {
        return false;
      }
      fileCrcs.push_back(job.crc);
      workers.Release(next++);
      ++stats->files;
      stats->bytesIn += job.length;
      ++progress.doneFiles;
      progress.doneBytes += f.size;
      if (options.progress) options.progress(progress);
      // The setup forms each output path in 259 characters; under the default target
      // directory only this much is left for the relative path.
      if (sizeof kDefaultTarget - 1 + f.relativePath.size() > kMaxInstalledPath) {
        warnings->push_back("\"" + f.relativePath + "\" makes an installed path over " +
                            std::to_string(kMaxInstalledPath) + " characters under " +
                            kDefaultTarget);
      }
      if (HasNonAsciiBytes(f.relativePath)) {
        warnings->push_back("\"" + f.relativePath +
                            "\" has non-ASCII bytes; the setup creates it through the ANSI "
                            "code page of the target machine");
      }
    }
  }
  const uint8_t end = 0;
  emit(&end, 1);
  stats->payloadBytes = out.BytesWritten() - afterMarker;
  if (out.BytesWritten() - stub.size() > UINT32_MAX) {
    *error = "the archive takes over 4 GiB, more than its integrity record can cover";
    return false;
  }
  std::vector<uint8_t> record;
  AppendIntegrityRecord(static_cast<uint32_t>(out.BytesWritten() - stub.size()), spanCrc, fileCrcs,
                        &record);
  out.Write(record.data(), record.size());
  stats->bytesOut = out.BytesWritten();
  if (stats->payloadBytes > kMeterSafePayload) {
    warnings->push_back("the archive holds " + std::to_string(stats->payloadBytes) +
                        " bytes; the setup's progress meter is exact only up to " +
                        std::to_string(kMeterSafePayload));
  }
  return out.Commit(error);
}
