# Warnings every target of the project builds clean with (g++ 12 and clang 14).
add_library(qv450_warnings INTERFACE)
target_compile_options(qv450_warnings INTERFACE
  -Wall -Wextra -Wpedantic)
option(QV450_WERROR "Treat warnings as errors" OFF)
if(QV450_WERROR)
  target_compile_options(qv450_warnings INTERFACE -Werror)
endif()
# g++ 12 reports false "may be used uninitialized" warnings inside the
# standard library (std::regex, std::function) when code is instrumented with
# AddressSanitizer; the plain g++ build and the clang builds keep the warning.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND QV450_SANITIZE STREQUAL "address")
  target_compile_options(qv450_warnings INTERFACE -Wno-maybe-uninitialized)
endif()
# In a unity build a source file is included into the batch's file, and g++
# then takes a type in its anonymous namespace for one of a header, warning
# that a test derived from such a fixture "uses the anonymous namespace".
# That warning is about headers shared between files; it says nothing here.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND QV450_UNITY_BUILD)
  target_compile_options(qv450_warnings INTERFACE -Wno-subobject-linkage)
endif()
# g++ 12 at -O3 (the Release build of the benchmarks) takes every
# `"text" + std::string` for a copy of more than half the address space
# inside the standard library's own string code (false -Wstringop-overflow,
# -Warray-bounds and -Wrestrict that -O2 and clang do not give); the other
# builds keep these warnings.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(qv450_warnings INTERFACE "$<$<CONFIG:Release>:-Wno-stringop-overflow;-Wno-array-bounds;-Wno-restrict>")
endif()
