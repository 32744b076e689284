cmake_minimum_required(VERSION 3.20)
# Post-build check of the setup stub: prints its size and fails when the file holds the
# payload marker record at an offset that is a multiple of 16, where the archive reader would
# take it for the start of the payload (the packer refuses such a stub too).
#   cmake -DSTUB=path/to/tsarin-setup.exe [-DGOAL=bytes] -P stub_check.cmake
file(SIZE "${STUB}" size)
get_filename_component(name "${STUB}" NAME)
if(GOAL)
  # Per mille, so that the figure says how far off the goal is even when close to it.
  math(EXPR per_mille "${size} * 1000 / ${GOAL}")
  message(STATUS "${name}: ${size} bytes, ${per_mille} per mille of the ${GOAL}-byte goal")
else()
  message(STATUS "${name}: ${size} bytes")
endif()
file(READ "${STUB}" hex HEX)
set(word "544f5651")  # "TOVQ"
set(rest "${hex}")
set(base 0)
while(TRUE)
  string(FIND "${rest}" "${word}" at)
  if(at EQUAL -1)
    break()
  endif()
  math(EXPR pos "${base} + ${at}")
  # Hex digits: an aligned record starts at a multiple of 32 digits; its last word is 24 after.
  math(EXPR aligned "${pos} % 32")
  if(aligned EQUAL 0)
    math(EXPR tail "${pos} + 24")
    string(SUBSTRING "${hex}" ${tail} 8 last)
    if(last STREQUAL word)
      math(EXPR offset "${pos} / 2")
      message(FATAL_ERROR "tsarin-setup.exe holds the payload marker record at offset ${offset}")
    endif()
  endif()
  math(EXPR skip "${at} + 2")
  string(SUBSTRING "${rest}" ${skip} -1 rest)
  math(EXPR base "${base} + ${skip}")
endwhile()
