# Warnings every target of the project builds clean with (g++ 12 and clang 14).
add_library(qv450_warnings INTERFACE)
target_compile_options(qv450_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wno-unused-parameter)
option(QV450_WERROR "Treat warnings as errors" OFF)
if(QV450_WERROR)
  target_compile_options(qv450_warnings INTERFACE -Werror)
endif()
