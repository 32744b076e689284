cmake_minimum_required(VERSION 3.20)
# Post-build check of a Windows program we ship: fails when its import table names a DLL
# outside the allow-list. Windows looks for any DLL that is not a known DLL in the program's
# own folder first (a download folder, for a setup), so a program may import statically only
# DLLs that are known DLLs on every Windows version it runs on; anything else it loads at run
# time from the system directory.
#   cmake -DPROGRAM=path.exe -DOBJDUMP=objdump [-DALLOWED="a.dll;b.dll"] -P check_imports.cmake
if(NOT ALLOWED)
  # Known DLLs from Windows XP to Windows 11.
  set(ALLOWED kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll msvcrt.dll
    comdlg32.dll)
endif()
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot read the import table of ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
get_filename_component(name "${PROGRAM}" NAME)
set(imported "")
foreach(line ${lines})
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  list(APPEND imported ${dll})
  if(NOT dll IN_LIST ALLOWED)
    message(FATAL_ERROR "${name} imports ${dll}, which is not a known DLL on every Windows "
      "version: load it at run time from the system directory instead")
  endif()
endforeach()
list(JOIN imported ", " imported)
message(STATUS "${name} imports only known DLLs: ${imported}")
