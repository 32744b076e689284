// Extraction moves every byte through fixed buffers. From the marker search to the end entry
// the only heap blocks are the C runtime's records of the streams it opens (the payload and
// one per extracted file), never a stream buffer, a data block or a decoder work area.
#include <cstdio>

#include "engine_fixture.h"
#include "tests/engine/allocation_counter.h"
#include "tests/engine/counting_seams.h"

namespace {

class AllocationTest : public EngineTest {
 protected:
  // What the runtime allocates for one stream opened, used and closed with a buffer of ours.
  alloccount::Counts OneStream() {
    static char buffer[512];
    alloccount::Start();
    FILE* file = FsOpenWrite((root + "\\probe").c_str());
    if (file != nullptr) {
      std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
      std::fputc('x', file);
      std::fclose(file);
    }
    alloccount::Stop();
    EXPECT_NE(file, nullptr);
    return alloccount::Get();
  }
};

TEST_F(AllocationTest, StreamBuffersAndDataBlocksAreNotAllocatedDuringExtraction) {
  if (!alloccount::Available()) GTEST_SKIP() << "allocations cannot be seen in this build";
  // Every way data moves: stored entries below, at and above one block, compressed entries of
  // both literal modes over many output blocks, a skipped entry, directory entries, an empty
  // file, and a stream with bytes after its end.
  WriteSetup(SetupWriter(4096)
                 .Stored("small.txt", Content(100, 1))
                 .Stored("block.bin", Content(16384, 2))
                 .Stored("large.bin", Content(70000, 3))
                 .Compressed("text0.txt", Content(60000, 4), 0, 6)
                 .Compressed("text1.txt", Content(30000, 5), 1, 4)
                 .Stored("apiref.htm", Content(20000, 6))
                 .Dir("Sub\\Deeper")
                 .Compressed("tail.dat", Content(9000, 7), 1, 5, 3)
                 .Dir("")
                 .Stored("empty", Bytes())
                 .End()
                 .bytes());
  const alloccount::Counts stream = OneStream();

  CountingSurface surface;
  UncountedDesktop desktop;
  surface.inner.directory = root + "\\out";
  ResetInstallContext(&surface, &desktop, (root + "\\dist\\setup.exe").c_str());
  OnInstall();
  ASSERT_EQ(surface.inner.status, "Installation was successful.");
  ASSERT_EQ(ReadHost("out/Sub/Deeper/tail.dat"), Content(9000, 7));

  // Seven extracted files (the developer's apiref.htm is skipped). The payload's stream and the
  // integrity record's were opened for the check, before the meter's reset.
  const uint64_t streams = 7;
  const alloccount::Counts seen = alloccount::Get();
  EXPECT_EQ(seen.count, streams * stream.count);
  EXPECT_EQ(seen.bytes, streams * stream.bytes);
  EXPECT_LE(seen.largest, stream.largest);
}

}  // namespace
