// Shared by the engine tests: a real temporary directory reached as drive T: (so the engine
// sees Windows-style paths), a tiny writer of setup files, and one install run through the
// recording seams.
#ifndef TSARIN_TESTS_ENGINE_ENGINE_FIXTURE_H
#define TSARIN_TESTS_ENGINE_ENGINE_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "payload/archive_format.h"
#include "payload/crc32.h"
#include "setup/install_context.h"
#include "setup/install_engine.h"
#include "setup/recording_seams.h"
#include "shell/fs_platform.h"
#include "tools/implode.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

inline Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

// Deterministic, mildly compressible content.
inline Bytes Content(size_t size, unsigned seed) {
  Bytes out(size);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = static_cast<uint8_t>((i % 7 == 0) ? (x >> 24) : 'a' + (i / 13 + seed) % 26);
  }
  return out;
}

// Builds a setup file: a stub, the marker at a multiple of 16, entries, the end entry, the
// integrity record (unless left out), a trailer.
class SetupWriter {
 public:
  explicit SetupWriter(size_t stubSize = 64) : bytes_(stubSize, 'S'), marker_(stubSize) {
    bytes_.resize(bytes_.size() + 16);
    archive::WriteMarkerRecord(bytes_.data() + stubSize);
  }
  SetupWriter& Name(const std::string& name) {
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    bytes_.push_back(0);
    return *this;
  }
  SetupWriter& Size(int32_t size) {
    uint8_t field[4];
    archive::PutLE32(field, size);
    bytes_.insert(bytes_.end(), field, field + 4);
    // A file entry: stored data's CRC-32 follows from the bytes written next.
    crcs_.push_back(0);
    storedLeft_ = size <= 0 ? 0u - static_cast<uint32_t>(size) : 0;
    return *this;
  }
  SetupWriter& Raw(const Bytes& data) {
    size_t stored = std::min<size_t>(storedLeft_, data.size());
    if (stored > 0) crcs_.back() = Crc32Update(crcs_.back(), data.data(), stored);
    storedLeft_ -= stored;
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  SetupWriter& Stored(const std::string& name, const Bytes& data) {
    return Name(name).Size(archive::StoredSizeField(static_cast<uint32_t>(data.size()))).Raw(data);
  }
  SetupWriter& Compressed(const std::string& name, const Bytes& data, int literalMode = 0,
                          int dictBits = 6, size_t extraBytes = 0) {
    Bytes stream;
    ImplodeOptions options;
    options.literalMode = literalMode;
    options.dictBits = dictBits;
    EXPECT_TRUE(ImplodeBuffer(data.data(), data.size(), options, &stream));
    stream.resize(stream.size() + extraBytes, 0xA5);
    Name(name).Size(static_cast<int32_t>(stream.size())).Raw(stream);
    crcs_.back() = Crc32Update(0, data.data(), data.size());
    return *this;
  }
  SetupWriter& Dir(const std::string& path) { return Name(">" + path); }
  SetupWriter& End(bool record = true) {
    bytes_.push_back(0);
    if (record) {
      uint32_t span = static_cast<uint32_t>(bytes_.size() - marker_);
      size_t start = bytes_.size();
      Raw(Text(archive::kIntegrityMagic)).Word(span);
      Word(Crc32Update(0, bytes_.data() + marker_, span)).Word(static_cast<uint32_t>(crcs_.size()));
      for (uint32_t crc : crcs_) Word(crc);
      Word(Crc32Update(0, bytes_.data() + start, bytes_.size() - start));
    }
    return Raw(Bytes{0, 0, 0, 0, 0, 'S', 'I', 'G'});
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  SetupWriter& Word(uint32_t value) {
    uint8_t field[4];
    archive::PutLE32(field, static_cast<int32_t>(value));
    bytes_.insert(bytes_.end(), field, field + 4);
    return *this;
  }

  Bytes bytes_;
  size_t marker_;

 public:
  std::vector<uint32_t> crcs_;  // every file entry's content CRC-32, as the record will hold it

 private:
  uint32_t storedLeft_ = 0;  // stored bytes of the last file entry not yet written
};

// One install through the recording seams.
struct InstallRun {
  RecordingSurface surface;
  RecordingDesktop desktop;
  // The desktop calls from the opening of the uninstall key on (before it, the engine only
  // looks up the folders it must never clear).
  Lines DesktopCallsFromKey() const {
    for (size_t i = 0; i < desktop.calls.size(); ++i) {
      if (desktop.calls[i].rfind("CreateMachineKey", 0) == 0)
        return Lines(desktop.calls.begin() + static_cast<long>(i), desktop.calls.end());
    }
    return {};
  }
  Lines StatusTexts() const {
    Lines out;
    for (const std::string& call : surface.calls)
      if (call.rfind("ShowStatus(102, ", 0) == 0) out.push_back(call.substr(17, call.size() - 19));
    return out;
  }
};

// A temporary directory: natively reached as drive T:, under Wine by its Windows path. The
// setup file lives at ROOT\dist\setup.exe.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    // A fresh directory under TEMP, named by its Windows path.
    static int counter = 0;
    const char* temp = std::getenv("TEMP");
    std::error_code ec;
    do {
      root_ = fs::path(temp ? temp : "C:\\windows\\temp") /
              ("tsarin-engine-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++counter));
    } while (!fs::create_directory(root_, ec) && counter < 10000);
    host_ = root_;
    root = root_.string();
#else
    char host[] = "/tmp/tsarin-engine-XXXXXX";
    ASSERT_NE(mkdtemp(host), nullptr);
    root_ = host_ = host;
    ASSERT_TRUE(FsSetDriveRoot('T', host));
    ASSERT_TRUE(FsAllowChangesIn(host));
    // The fake desktop's folders are on C:, the host's root by default: if a safety rule ever
    // let such a target through, it must name nothing here.
    FsSetDriveRoot('C', nullptr);
    root = "T:";
#endif
    fs::create_directories(host_ / "dist");
  }
  void TearDown() override {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec))
      if (!it->is_symlink())
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
#ifndef _WIN32
    FsSetDriveRoot('T', nullptr);
    FsSetDriveRoot('C', "/");
    FsForgetAllowedFolders();
#endif
    fs::remove_all(root_, ec);
  }

  fs::path Host(const std::string& relative) const {
    return host_ / relative;
  }
  void WriteSetup(const Bytes& bytes) {
    std::ofstream(Host("dist/setup.exe"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  Bytes ReadHost(const std::string& relative) const {
    std::ifstream in(Host(relative), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Installs the setup file into directory (the field's text; ROOT\out when not given).
  void Install(InstallRun& run) {
    Install(run, root + "\\out");
  }
  void Install(InstallRun& run, const std::string& directory, bool developer = false,
               bool reset = true) {
    run.surface.directory = directory;
    run.surface.developerChecked = developer;
    if (reset)
      ResetInstallContext(&run.surface, &run.desktop, (root + "\\dist\\setup.exe").c_str());
    OnInstall();
  }

  std::string root;  // the directory as the engine names it: "T:" natively
  fs::path root_;    // the directory itself
  fs::path host_;    // the same, as the test process reaches it
};

#endif  // TSARIN_TESTS_ENGINE_ENGINE_FIXTURE_H
