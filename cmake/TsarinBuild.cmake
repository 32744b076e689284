# Shared build settings for project targets.

# Two builds of the same source, in any folders, give the same Win32 programs: no link time in
# their headers, and source and build files named relative to their trees wherever the compiler
# writes a path (__FILE__, debug information).
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/= -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endif()

# Project code is warning-free: warnings are errors.
function(tsarin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# A GoogleTest program registered with CTest as one test. Under the Win32 build CTest runs it
# through Wine (CMAKE_CROSSCOMPILING_EMULATOR).
#   tsarin_gtest(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...])
function(tsarin_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  tsarin_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(WIN32)
    set(labels win32 ${T_LABELS})
  else()
    set(labels native ${T_LABELS})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${labels}")
endfunction()
