// Every way an attempt fails: the exact message, the report's order (message box, status,
// focus), and what stays on disk.
#include "engine_fixture.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

namespace {

const char kDamaged[] = "Tessarin Setup Error: Incomplete or damaged installation file!";

Bytes Stream(const Bytes& data) {
  Bytes stream;
  ImplodeOptions options;
  EXPECT_TRUE(ImplodeBuffer(data.data(), data.size(), options, &stream));
  return stream;
}

struct FailureRow {
  const char* what;
  Bytes setup;           // empty: no setup file at all
  std::string message;   // "CAPTION: TEXT"
  std::string leftFile;  // a file that stays (relative to out), or "": out is never made
};

// One entry with the given name, size field and bytes, at the usual place.
SetupWriter Entry(const std::string& name, int32_t size, const Bytes& data) {
  return SetupWriter().Name(name).Size(size).Raw(data);
}

std::vector<FailureRow> Rows(const std::string& root) {
  Bytes stream = Stream(Content(20000, 7));
  Bytes badHeader = stream;
  badHeader[1] = 7;  // dictionary-size byte must be 4, 5 or 6
  Bytes cut(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 2));
  const int32_t cutSize = static_cast<int32_t>(cut.size());
  const std::string blocker = "Tessarin Setup Error: Could not create file\n" + root +
                              "\\out\\blocker\\x.txt\n\nThis may be because\nTessarin is already "
                              "running,\nor you may be out of disk space.";
  return {
      {"no setup file", {}, kDamaged, ""},
      {"no marker", Bytes(100, 'S'), kDamaged, ""},
      // The marker at offset 8 is not looked at.
      {"marker off the 16-byte grid", SetupWriter(8).Stored("a.txt", Text("A")).End().bytes(),
       kDamaged, ""},
      {"file ends inside a name", SetupWriter().Raw(Text("abc")).bytes(), kDamaged, ""},
      {"file ends inside a size", SetupWriter().Name("a.txt").Raw({1, 2}).bytes(), kDamaged, ""},
      {"file ends inside skipped data", Entry("proto_x", -100, Bytes(50, 1)).bytes(), kDamaged, ""},
      {"no end entry", SetupWriter().Stored("a.txt", Text("AB")).bytes(), kDamaged, ""},
      // The whole first block; the second one never arrives.
      {"file ends inside stored data", Entry("a.txt", -20000, Bytes(17000, 1)).bytes(), kDamaged,
       ""},
      {"file ends inside a compressed stream",
       Entry("a.txt", static_cast<int32_t>(stream.size()), cut).bytes(), kDamaged, ""},
      {"stream needs more than its entry holds",
       Entry("a.txt", cutSize, cut).Stored("b.txt", Bytes(3000, 2)).End(false).bytes(), kDamaged,
       ""},
      {"decoder refuses the header",
       Entry("a.txt", static_cast<int32_t>(badHeader.size()), badHeader).End(false).bytes(),
       kDamaged, ""},
      {"size field without a positive counterpart",
       Entry("a.txt", INT32_MIN, Bytes(64, 0)).End(false).bytes(), kDamaged, ""},
      {"output file cannot be created",
       SetupWriter()
           .Stored("blocker", Text("x"))
           .Dir("blocker")
           .Stored("x.txt", Text("y"))
           .End()
           .bytes(),
       blocker, "blocker"},
  };
}

TEST_F(EngineTest, EveryReaderAndExtractionFailureIsReportedThenStatusThenFocus) {
  for (const FailureRow& row : Rows(root)) {
    SCOPED_TRACE(row.what);
    fs::remove(Host("dist/setup.exe"));
    if (!row.setup.empty()) WriteSetup(row.setup);
    InstallRun run;
    Install(run);
    EXPECT_EQ(run.surface.messages, Lines{row.message});
    const Lines& calls = run.surface.calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2], "ShowStatus(102, \"Installation not successful.\")");
    EXPECT_EQ(calls.back(), "FocusItem(2)");
    EXPECT_EQ(calls[calls.size() - 3].rfind("ShowMessage(", 0), 0u);
    EXPECT_EQ(fs::exists(Host("out/" + row.leftFile)), !row.leftFile.empty());
    // A key opened by the attempt is closed when it is abandoned.
    Lines fromKey = run.DesktopCallsFromKey();
    if (!fromKey.empty()) {
      EXPECT_EQ(fromKey.back(), "CloseKey()");
    }
    EXPECT_EQ(installContext.payloadFile, nullptr);
    EXPECT_EQ(installContext.archiveDone, 0);
  }
}

TEST_F(EngineTest, UncreatablePathShowsMessageAndFocusesFieldWithoutStatusOrMeter) {
  WriteSetup(SetupWriter().Stored("a.txt", Text("A")).End().bytes());
  InstallRun run;
  Install(run, "Q:\\nowhere\\out");  // drive Q: does not exist
  EXPECT_EQ(run.surface.messages,
            Lines{"Tessarin Setup Error: Could not create the path\nQ:\\nowhere\\out\\"});
  EXPECT_EQ(run.surface.calls.back(), "FocusItem(104)");
  // Only the check of the setup file showed on the status line.
  EXPECT_EQ(run.StatusTexts(), (Lines{"Checking the installation file ...", ""}));
  EXPECT_TRUE(run.surface.meter.empty());
}

TEST_F(EngineTest, NameOf261CharactersIsDamageFoundBeforeAnythingChanges_260IsAccepted) {
  std::string name260 = "proto_" + std::string(254, 'n');  // skipped in a standard install
  WriteSetup(SetupWriter()
                 .Stored("a.txt", Text("A"))
                 .Name(name260)
                 .Size(-3)
                 .Raw(Text("abc"))
                 .End()
                 .bytes());
  InstallRun accepted;
  Install(accepted);
  EXPECT_EQ(accepted.surface.status, "Installation was successful.");

  WriteSetup(SetupWriter().Stored("a.txt", Text("A")).Name(name260 + "x").End().bytes());
  InstallRun stopped;
  Install(stopped);
  // The check finds it before anything is written, and calls it damage.
  EXPECT_EQ(stopped.surface.messages, Lines{kDamaged});
  EXPECT_TRUE(stopped.surface.meter.empty());
  EXPECT_TRUE(fs::exists(Host("out/a.txt")));  // the earlier install is not cleared
}

TEST_F(EngineTest, SecondAttemptAfterFailureStartsOverAndFinishes) {
  Bytes good = SetupWriter().Stored("a.txt", Text("A")).Stored("b.txt", Text("B")).End().bytes();
  WriteSetup(Bytes(good.begin(), good.end() - 12));  // cut inside b.txt
  InstallRun run;
  Install(run);
  ASSERT_EQ(run.surface.messages, Lines{kDamaged});
  fs::create_directory(Host("out"));
  std::ofstream(Host("out/stale.txt")) << "x";
  WriteSetup(good);
  Install(run, root + "\\out", false, /*reset=*/false);
  EXPECT_EQ(run.surface.status, "Installation was successful.");
  EXPECT_FALSE(fs::exists(Host("out/stale.txt")));
  EXPECT_EQ(ReadHost("out/b.txt"), Text("B"));
  size_t keys = 0;
  for (const std::string& call : run.desktop.calls) keys += call.rfind("CreateMachineKey", 0) == 0;
  EXPECT_EQ(keys, 1u);  // the damaged attempt stopped before the key
}

#ifndef _WIN32
// Writes beyond a file-size limit fail with EFBIG: the same path as a full disk.
TEST_F(EngineTest, WriteFailureMidEntryReportsOutOfDiskSpace) {
  WriteSetup(SetupWriter()
                 .Stored("small.txt", Text("fits"))
                 .Compressed("big.dat", Content(300000, 3))
                 .End()
                 .bytes());
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct rlimit limited = saved;
  limited.rlim_cur = 100000;
  signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  InstallRun run;
  Install(run);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(run.surface.messages, Lines{"Tessarin Setup Error: Out of disk space while writing\n" +
                                        root + "\\out\\big.dat"});
  EXPECT_EQ(run.surface.status, "Installation not successful.");
  EXPECT_EQ(fs::file_size(Host("out/big.dat")), 100000u);
}

#endif

}  // namespace
