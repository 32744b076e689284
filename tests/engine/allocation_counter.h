// Counts the heap allocations a program makes while counting is on. Linked into a test or a
// benchmark program, it sees every allocation of the process: under AddressSanitizer through
// the sanitizer's allocation hook, otherwise on glibc by standing in for malloc, calloc and
// realloc (operator new reaches them too). Elsewhere Available() is false and nothing is
// counted. One thread only.
#ifndef TSARIN_TESTS_ENGINE_ALLOCATION_COUNTER_H
#define TSARIN_TESTS_ENGINE_ALLOCATION_COUNTER_H

#include <cstddef>
#include <cstdint>

namespace alloccount {

struct Counts {
  uint64_t count = 0;
  uint64_t bytes = 0;
  uint64_t largest = 0;
};

// False when this build cannot see allocations.
bool Available();
// Clears the counts and starts counting.
void Start();
// Stops counting; the counts stay until the next Start.
void Stop();
Counts Get();

// Leaves out what happens during its lifetime (for instance a stand-in's own bookkeeping).
class Pause {
 public:
  Pause();
  ~Pause();
  Pause(const Pause&) = delete;
  Pause& operator=(const Pause&) = delete;
};

}  // namespace alloccount

#endif  // TSARIN_TESTS_ENGINE_ALLOCATION_COUNTER_H
