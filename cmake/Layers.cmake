# qv450_layer(NAME DIR [QT] [DEPS ...]): one static library per layer, made of
# every .cpp file in DIR (and its sub-folders). A layer folder without sources
# makes no target yet.
function(qv450_layer name dir)
  cmake_parse_arguments(L "QT" "" "DEPS;EXCLUDE" ${ARGN})
  if(L_QT AND NOT QV450_WITH_QT)
    return()
  endif()
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(ex IN LISTS L_EXCLUDE)
    list(FILTER srcs EXCLUDE REGEX "${ex}")
  endforeach()
  if(NOT srcs)
    return()
  endif()
  add_library(${name} STATIC ${srcs})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${L_DEPS} PRIVATE qv450_warnings)
endfunction()
