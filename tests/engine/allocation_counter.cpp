#include "tests/engine/allocation_counter.h"

#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define TSARIN_COUNT_WITH_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TSARIN_COUNT_WITH_SANITIZER 1
#endif
#endif

namespace {

bool counting = false;
int pauses = 0;
alloccount::Counts counts;

void Record(size_t size) {
  if (!counting || pauses > 0) return;
  ++counts.count;
  counts.bytes += size;
  if (size > counts.largest) counts.largest = size;
}

}  // namespace

#if defined(TSARIN_COUNT_WITH_SANITIZER)

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            size_t),
                                                         void (*freeHook)(const volatile void*));

namespace {

void MallocHook(const volatile void*, size_t size) {
  Record(size);
}

void FreeHook(const volatile void*) {}

bool InstallHooks() {
  static bool installed = __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook) != 0;
  return installed;
}

}  // namespace

bool alloccount::Available() {
  return InstallHooks();
}

#elif defined(__GLIBC__)

// glibc lets a program provide malloc itself; these count and hand over to glibc's own, so
// every block still belongs to glibc's allocator (free, memalign and the rest stay glibc's).
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);

void* malloc(size_t size) noexcept {
  Record(size);
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) noexcept {
  Record(count * size);
  return __libc_calloc(count, size);
}

void* realloc(void* block, size_t size) noexcept {
  Record(size);
  return __libc_realloc(block, size);
}
}

bool alloccount::Available() {
  return true;
}

#else

bool alloccount::Available() {
  return false;
}

#endif

void alloccount::Start() {
  counts = Counts();
  counting = Available();
}

void alloccount::Stop() {
  counting = false;
}

alloccount::Counts alloccount::Get() {
  return counts;
}

alloccount::Pause::Pause() {
  ++pauses;
}

alloccount::Pause::~Pause() {
  --pauses;
}
