include(GoogleTest)
# qv450_gtest(NAME DIR [QT] [SHARDS n] [TIMEOUT s] [DEPS ...]): one GoogleTest
# executable per layer from every .cpp in DIR, registered with CTest as n
# shards so that ctest -j spreads it over the cores.
function(qv450_gtest name dir)
  cmake_parse_arguments(T "QT" "SHARDS;TIMEOUT" "DEPS" ${ARGN})
  if(T_QT AND NOT QV450_WITH_QT)
    return()
  endif()
  foreach(dep IN LISTS T_DEPS)
    if(NOT TARGET ${dep})
      message(STATUS "skipping ${name}: ${dep} not built")
      return()
    endif()
  endforeach()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  if(NOT T_SHARDS)
    set(T_SHARDS 1)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${srcs})
  # Tests find catalogues and images in the build tree's resources folder.
  if(TARGET qv450_resources)
    add_dependencies(${name} qv450_resources)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_DEPS} GTest::gmock GTest::gtest qv450_warnings Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    QV450_RESOURCES_DIR="${QV450_RESOURCES_BUILD_DIR}"
    QV450_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # In the sanitizer builds the tests' own code is compiled without
  # optimisation: it is two thirds of the build's processor time at -O1 and
  # half that at -O0, while the program's code it drives, where the time of a
  # run goes, keeps -O1. (Every target sharing a test's precompiled header is
  # a test, so the header and its users agree on the level.)
  if(QV450_SANITIZE)
    target_compile_options(${name} PRIVATE -O0)
  endif()
  if(T_QT)
    qv450_speed_up(${name} QT gtest json qt)
  else()
    qv450_speed_up(${name} gtest json)
  endif()
  math(EXPR last "${T_SHARDS} - 1")
  foreach(i RANGE ${last})
    set(tname ${name})
    if(T_SHARDS GREATER 1)
      set(tname ${name}.${i})
    endif()
    add_test(NAME ${tname} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${tname} PROPERTIES
      TIMEOUT ${T_TIMEOUT}
      ENVIRONMENT "GTEST_TOTAL_SHARDS=${T_SHARDS};GTEST_SHARD_INDEX=${i};QT_QPA_PLATFORM=offscreen"
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  endforeach()
endfunction()
