// Stand-in for builds without the install engine.
#include "tools/pack_extract.h"

#include <cstdio>

int RunExtractCommand(int argc, char** argv) {
  (void)argc;
  (void)argv;
  std::fputs("tsarin-pack: extract is not available in this build\n", stderr);
  return 2;
}
