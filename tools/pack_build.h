// Building a setup file: the stub, the marker and an archive of a source tree.
#ifndef TSARIN_TOOLS_PACK_BUILD_H
#define TSARIN_TOOLS_PACK_BUILD_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/implode.h"

struct PackFile {
  std::string name;          // as stored in the archive
  std::string relativePath;  // from the source directory, '/' between levels
  std::string fullPath;
  uint64_t size = 0;
  uint64_t device = 0;  // with inode: tells whether a path names this same file
  uint64_t inode = 0;
};

struct PackDirectory {
  std::string relativePath;  // '/' between levels; empty for the source directory itself
  std::string entryPath;     // the directory entry's path: backslashes between levels
  std::vector<PackFile> files;
};

// The source tree in archive order: the source directory itself first, then every
// sub-directory depth first; names sorted bytewise at every level.
struct PackTree {
  std::vector<PackDirectory> directories;
  size_t fileCount = 0;
};

// Walks root. Fails, naming the offender, on a name the setup could not install (see
// CheckNameComponent), a name or directory entry over 260 characters, two names in one
// directory that differ only in case (Windows would make them one file), a symbolic link
// (refused, never followed or skipped), anything that is neither a file nor a directory, and
// a file of 2^31 bytes or more.
bool WalkSourceTree(const std::string& root, PackTree* tree, std::string* error);

// True when the stub, padded with zeros to a multiple of 16 bytes, holds a record the setup
// would take for the marker; *offset is then that record's offset.
bool StubHoldsMarker(const std::vector<uint8_t>& stub, size_t* offset);

// Appends the integrity record (payload/archive_format.h) for a span of spanLength bytes with
// CRC-32 spanCrc and files of the given content CRC-32s.
void AppendIntegrityRecord(uint32_t spanLength, uint32_t spanCrc,
                           const std::vector<uint32_t>& fileCrcs, std::vector<uint8_t>* out);

// The packer's compression default, for build and implode: the optimal parser, which makes the
// smallest stream; the lazy one is the faster choice.
inline ImplodeOptions DefaultPackImplodeOptions() {
  ImplodeOptions o;
  o.parser = ImplodeParser::kOptimal;
  return o;
}

// How far a build has come, after each file written.
struct PackProgress {
  size_t doneFiles = 0;
  size_t totalFiles = 0;
  uint64_t doneBytes = 0;  // of the files' sizes
  uint64_t totalBytes = 0;
};

struct PackBuildOptions {
  std::string output;
  std::string stubPath;  // empty: no stub
  ImplodeOptions implode = DefaultPackImplodeOptions();
  std::vector<std::string> storeGlobs;
  // Threads compressing files, ahead of the one writing them in order. The output is the same
  // for every number.
  size_t jobs = 1;
  std::function<void(const PackProgress&)> progress;  // optional
};

struct PackBuildStats {
  size_t files = 0;
  size_t directories = 0;  // directory entries written
  size_t compressed = 0;
  uint64_t bytesIn = 0;       // sum of the files' lengths
  uint64_t bytesOut = 0;      // length of the setup file written
  uint64_t payloadBytes = 0;  // bytes after the marker
};

// Builds the setup file. Nothing is left under options.output unless it succeeds. Warnings
// (things that work but deserve a look) are appended to *warnings.
bool BuildSetupFile(const std::string& sourceDir, const PackBuildOptions& options,
                    PackBuildStats* stats, std::vector<std::string>* warnings, std::string* error);

#endif  // TSARIN_TOOLS_PACK_BUILD_H
