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
