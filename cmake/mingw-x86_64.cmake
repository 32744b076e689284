# 64-bit Windows: the same source, for a machine whose kernel cannot run Wine's 32-bit loader.
set(TSARIN_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
