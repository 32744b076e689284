// Extraction moves every byte through fixed buffers: from the meter's reset just before it to
// the end entry, nothing larger than the C runtime's record of a stream it opens is allocated,
// never a stream buffer, a data block or a decoder work area (each 2 KB or more). Natively
// only: the counter sees every allocation of the process, through the sanitizer's allocation
// hook or by standing in for glibc's malloc, calloc and realloc (operator new reaches them).
#include "engine_fixture.h"

namespace {

bool counting = false;
size_t largest = 0, count = 0;

void Record(size_t size) {
  if (!counting) return;
  ++count;
  largest = std::max(largest, size);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
static const bool kCounterWorks = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, size_t size) { Record(size); }, [](const volatile void*) {});
#elif defined(__GLIBC__)
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t n, size_t size);
void* __libc_realloc(void* block, size_t size);
void* malloc(size_t size) noexcept {
  Record(size);
  return __libc_malloc(size);
}
void* calloc(size_t n, size_t size) noexcept {
  Record(n * size);
  return __libc_calloc(n, size);
}
void* realloc(void* block, size_t size) noexcept {
  Record(size);
  return __libc_realloc(block, size);
}
}
static const bool kCounterWorks = true;
#else
static const bool kCounterWorks = false;
#endif

namespace {

// Counts from the meter's reset to its 100: before that, the native file layer's directory
// searches allocate, where the Windows one does not.
class CountingSurface final : public SetupSurface {
 public:
  RecordingSurface inner;

  void SetMeterPos(int32_t percent) override {
    counting = false;
    inner.SetMeterPos(percent);
    counting = percent < 100;
  }
  void ShowStatus(int id, const char* text) override { inner.ShowStatus(id, text); }
  void FocusItem(int id) override { inner.FocusItem(id); }
  void GetDirectoryText(char* out, int size) override { inner.GetDirectoryText(out, size); }
  bool IsDeveloperChecked() override { return inner.IsDeveloperChecked(); }
  void ShowMessage(const char* text, const char* caption) override {
    inner.ShowMessage(text, caption);
  }
  void SetWaitCursor() override { inner.SetWaitCursor(); }
  void EnableItem(int id, bool enable) override { inner.EnableItem(id, enable); }
  void SetItemText(int id, const char* text) override { inner.SetItemText(id, text); }
  void SetHelpPanel(int id, int panel) override { inner.SetHelpPanel(id, panel); }
  void BringToTop() override { inner.BringToTop(); }
};

TEST_F(EngineTest, ExtractionAllocatesNoBufferOfItsOwn) {
  if (!kCounterWorks) GTEST_SKIP() << "allocations cannot be seen in this build";
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
  CountingSurface surface;
  RecordingDesktop desktop;
  // The stand-ins' records grow by small texts only.
  surface.inner.calls.reserve(100);
  surface.inner.meter.reserve(200);
  desktop.calls.reserve(100);
  surface.inner.directory = root + "\\out";
  ResetInstallContext(&surface, &desktop, (root + "\\dist\\setup.exe").c_str());
  OnInstall();
  ASSERT_EQ(surface.inner.status, "Installation was successful.");
  ASSERT_EQ(ReadHost("out/Sub/Deeper/tail.dat"), Content(9000, 7));
  EXPECT_GE(count, 7u);  // the runtime's records of the seven streams opened are seen
  EXPECT_LT(largest, 2048u);
}

}  // namespace
