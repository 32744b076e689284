cmake_minimum_required(VERSION 3.20)
# Post-build check of a small Win32 program: prints its size, and fails when it imports from a
# DLL that is not one of the system's known DLLs (HKLM\System\CurrentControlSet\Control\Session
# Manager\KnownDLLs), which the loader takes from the system directory only: any other name
# would be looked for beside the program first, where a planted file could answer.
#   cmake -DPROGRAM=path/to/program.exe -DOBJDUMP=objdump -P program_check.cmake
set(known advapi32 comdlg32 gdi32 imm32 kernel32 msvcrt ole32 oleaut32 shell32 shlwapi user32)
file(SIZE "${PROGRAM}" size)
get_filename_component(name "${PROGRAM}" NAME)
execute_process(COMMAND ${OBJDUMP} -p "${PROGRAM}" OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${name}: ${OBJDUMP} could not read it")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
set(imports "")
foreach(line ${lines})
  string(REGEX REPLACE "DLL Name: ([^\n.]+)\\.[dD][lL][lL]" "\\1" dll "${line}")
  string(TOLOWER "${dll}" dll)
  list(APPEND imports ${dll})
  if(NOT dll IN_LIST known)
    message(FATAL_ERROR "${name} imports ${line}, which is not a known DLL")
  endif()
endforeach()
string(REPLACE ";" ", " imports "${imports}")
message(STATUS "${name}: ${size} bytes, imports from ${imports}")
