# Include views: a layer's headers are seen through a folder of its own in the
# build tree, include/<target>/, which holds a link per exposed folder under
# its path from the source root (include/qv450_device/device -> src/device).
# The view is the target's public include folder, so a layer sees its own
# headers and those of the layers it links, and nothing else: an include
# against the layer order fails to compile. scripts/check-layers.sh checks
# the finer order (inside device) that one target cannot hold.
#
# qv450_include_view(TARGET BASE FOLDER...): exposes BASE/FOLDER as FOLDER.
function(qv450_include_view target base)
  set(view ${CMAKE_BINARY_DIR}/include/${target})
  foreach(rel IN LISTS ARGN)
    get_filename_component(parent ${view}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${base}/${rel} ${view}/${rel} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${view})
endfunction()

# qv450_layer(NAME DIR [QT] [DEPS ...] [EXCLUDE regex...] [PCH kind...]): one
# static library per layer, made of every .cpp file in DIR (and its
# sub-folders), seeing its own folder and its dependencies' views, built in
# unity batches with the standard library and the PCH kinds precompiled
# (cmake/Speed.cmake). A layer folder without sources makes no target yet.
function(qv450_layer name dir)
  cmake_parse_arguments(L "QT" "" "DEPS;EXCLUDE;PCH" ${ARGN})
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
  qv450_include_view(${name} ${CMAKE_SOURCE_DIR}/src ${dir})
  target_link_libraries(${name} PUBLIC ${L_DEPS} PRIVATE qv450_warnings)
  if(L_QT)
    qv450_speed_up(${name} QT ${L_PCH})
  else()
    qv450_speed_up(${name} ${L_PCH})
  endif()
endfunction()
