cmake_minimum_required(VERSION 3.20)
# Prints a program's size after the build.
#   cmake -DPROGRAM=path/to/program.exe -P print_size.cmake
file(SIZE "${PROGRAM}" size)
get_filename_component(name "${PROGRAM}" NAME)
message(STATUS "${name}: ${size} bytes")
