# Build time. Under the sanitizers most of a compile is spent generating code
# for the inline and template functions every file instantiates again (the
# standard library, the JSON library, GoogleTest, Qt), and in parsing their
# headers. Two remedies, both on by default so that every build is the one CI
# makes:
#  - unity builds: a target's sources are compiled in batches of
#    QV450_UNITY_BATCH files, so each batch instantiates a template once.
#    Files of a target must therefore not define two things of one name at
#    namespace scope, even in an anonymous namespace, nor leak a
#    `using namespace` out of a namespace;
#  - precompiled headers: the heavy third-party headers a target uses are
#    parsed once per target.
option(QV450_UNITY_BUILD "Compile each target's sources in batches" ON)
set(QV450_UNITY_BATCH 8 CACHE STRING "Source files per unity batch")
option(QV450_PCH "Precompile the third-party headers" ON)

# The sanitizer builds give their own debug level in CMAKE_CXX_FLAGS
# ("-O1 -g1": line tables, enough for symbolised stack traces); the Debug
# build type's -g comes after it and would raise it to full debug information,
# which costs a quarter of the compile and most of the link.
if(CMAKE_CXX_FLAGS MATCHES "(^| )-g[0-3]( |$)")
  string(REGEX REPLACE "(^| )-g( |$)" " " CMAKE_CXX_FLAGS_DEBUG "${CMAKE_CXX_FLAGS_DEBUG}")
endif()

# Header sets to precompile, by kind.
set(qv450_pch_std
  <algorithm> <array> <atomic> <chrono> <condition_variable> <cstdint> <cstdio>
  <cstdlib> <cstring> <deque> <filesystem> <functional> <map> <memory> <mutex>
  <optional> <set> <span> <string> <string_view> <thread> <utility> <vector>)
set(qv450_pch_json <nlohmann/json.hpp>)
set(qv450_pch_gtest <gtest/gtest.h>)
set(qv450_pch_qt
  <QApplication> <QColor> <QCoreApplication> <QEvent> <QFont> <QFontMetricsF>
  <QImage> <QKeyEvent> <QLineEdit> <QMouseEvent> <QPainter> <QPainterPath>
  <QPixmap> <QString> <QTimer> <QWidget> <QWindow>)

# qv450_speed_up(TARGET [QT] [KINDS...]): unity batches for TARGET, and a
# precompiled header of the standard library plus the named kinds (json,
# gtest, qt) for a target with more than one source file. QT says that the
# target links Qt (and so compiles with Qt's flags). Targets of the same
# kinds and Qt use share one precompiled header: the first one makes it.
function(qv450_speed_up target)
  cmake_parse_arguments(S "QT" "" "" ${ARGN})
  get_target_property(srcs ${target} SOURCES)
  list(FILTER srcs INCLUDE REGEX "\\.(cpp|cc|cxx)$")
  list(LENGTH srcs count)
  if(count LESS 2)
    return()
  endif()
  if(QV450_UNITY_BUILD)
    set_target_properties(${target} PROPERTIES
      UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE ${QV450_UNITY_BATCH})
  endif()
  if(NOT QV450_PCH)
    return()
  endif()
  set(kinds std ${S_UNPARSED_ARGUMENTS})
  if(S_QT)
    list(APPEND kinds with-qt-flags)
  endif()
  string(JOIN "_" key ${kinds})
  get_property(donor GLOBAL PROPERTY QV450_PCH_${key})
  if(donor)
    target_precompile_headers(${target} REUSE_FROM ${donor})
  else()
    set(headers)
    foreach(kind IN LISTS kinds)
      list(APPEND headers ${qv450_pch_${kind}})
    endforeach()
    target_precompile_headers(${target} PRIVATE ${headers})
    set_property(GLOBAL PROPERTY QV450_PCH_${key} ${target})
  endif()
endfunction()
