# The layers' targets, made from the layer order in src/layers.txt (which
# scripts/check-layers.sh reads too): a target is made of its parts' folders
# and links the targets of the parts they use.
#
# Include views: a target's headers are seen through a folder of its own in
# the build tree, include/<target>/, which holds a link per folder of its
# parts under the folder's path from src/ (from the root for sim/):
# include/qv450_device/device/records -> src/device/records. The view is the
# target's public include folder, so a target sees its own headers and those
# of the targets it links, and nothing else: an include against the layer
# order fails to compile. scripts/check-layers.sh checks the finer order
# (between the parts of one target) that the build cannot hold.
#
# A package a part uses (Qt, hidapi, curl) is linked privately by the part's
# target, so only that target gets the package's include folders; every
# target whose parts use Qt, directly or not, is left out of a build without
# Qt.
set(QV450_LAYERS_FILE ${CMAKE_SOURCE_DIR}/src/layers.txt)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${QV450_LAYERS_FILE})
set(QV450_QT_MODULES Qt6::Widgets Qt6::Svg)
# What each package src/layers.txt may name links (scripts/layers.awk knows
# their headers).
set(QV450_PACKAGE_Qt ${QV450_QT_MODULES})
set(QV450_PACKAGE_hidapi PkgConfig::HIDAPI)
set(QV450_PACKAGE_curl PkgConfig::CURL)

# The folder of the include view that shows FOLDER (a path from the root),
# and the folder the link in it is relative to.
function(qv450_view_path folder out_rel out_base)
  if(folder MATCHES "^src/(.*)")
    set(${out_rel} ${CMAKE_MATCH_1} PARENT_SCOPE)
    set(${out_base} ${CMAKE_SOURCE_DIR}/src PARENT_SCOPE)
  else()
    set(${out_rel} ${folder} PARENT_SCOPE)
    set(${out_base} ${CMAKE_SOURCE_DIR} PARENT_SCOPE)
  endif()
endfunction()

# The part a path from the root belongs to: the one with the longest folder
# that holds it; empty for none.
function(qv450_part_of path out)
  set(best "")
  set(best_length 0)
  foreach(part IN LISTS QV450_PARTS)
    string(LENGTH "${QV450_PART_${part}_FOLDER}" length)
    string(FIND "${path}" "${QV450_PART_${part}_FOLDER}/" at)
    if(at EQUAL 0 AND length GREATER best_length)
      set(best ${part})
      set(best_length ${length})
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# Reads src/layers.txt into QV450_PARTS (in order) and, for each part,
# QV450_PART_<part>_FOLDER, _TARGET, _USES (the parts it names), _PACKAGES
# (the packages it names), _QT (it uses Qt) and _NEEDS_QT (it or a part below
# it uses Qt).
macro(qv450_read_layers)
  file(STRINGS ${QV450_LAYERS_FILE} qv450_lines)
  set(QV450_PARTS)
  foreach(qv450_line IN LISTS qv450_lines)
    string(REGEX REPLACE "#.*" "" qv450_line "${qv450_line}")
    string(STRIP "${qv450_line}" qv450_line)
    if(qv450_line STREQUAL "")
      continue()
    endif()
    string(REGEX REPLACE "[ \t]+" ";" qv450_words "${qv450_line}")
    list(LENGTH qv450_words qv450_count)
    if(qv450_count LESS 4)
      message(FATAL_ERROR "${QV450_LAYERS_FILE}: want \"part folder target uses...\": ${qv450_line}")
    endif()
    list(POP_FRONT qv450_words qv450_part qv450_folder qv450_target)
    set(QV450_PART_${qv450_part}_FOLDER ${qv450_folder})
    set(QV450_PART_${qv450_part}_TARGET ${qv450_target})
    set(QV450_PART_${qv450_part}_USES)
    set(QV450_PART_${qv450_part}_PACKAGES)
    set(QV450_PART_${qv450_part}_QT OFF)
    set(QV450_PART_${qv450_part}_NEEDS_QT OFF)
    foreach(qv450_use IN LISTS qv450_words)
      set(qv450_written ${qv450_use})
      if(qv450_use STREQUAL "-")
        continue()
      elseif(DEFINED QV450_PACKAGE_${qv450_use})
        list(APPEND QV450_PART_${qv450_part}_PACKAGES ${qv450_use})
        if(qv450_use STREQUAL "Qt")
          set(QV450_PART_${qv450_part}_QT ON)
          set(QV450_PART_${qv450_part}_NEEDS_QT ON)
        endif()
        continue()
      elseif(qv450_use MATCHES "^sim/")
        # One header of a part: the build links the whole part's target.
        qv450_part_of(${qv450_use} qv450_use)
      elseif(qv450_use MATCHES "/")
        qv450_part_of(src/${qv450_use} qv450_use)
      endif()
      if(NOT qv450_use IN_LIST QV450_PARTS)
        message(FATAL_ERROR "${QV450_LAYERS_FILE}: ${qv450_part} uses ${qv450_written}, which is not declared above it")
      endif()
      list(APPEND QV450_PART_${qv450_part}_USES ${qv450_use})
      if(QV450_PART_${qv450_use}_NEEDS_QT)
        set(QV450_PART_${qv450_part}_NEEDS_QT ON)
      endif()
    endforeach()
    list(APPEND QV450_PARTS ${qv450_part})
  endforeach()
endmacro()
qv450_read_layers()

# qv450_layer_parts(TARGET OUT): the parts whose files TARGET is made of.
function(qv450_layer_parts target out)
  set(parts)
  foreach(part IN LISTS QV450_PARTS)
    if(QV450_PART_${part}_TARGET STREQUAL target)
      list(APPEND parts ${part})
    endif()
  endforeach()
  if(NOT parts)
    message(FATAL_ERROR "${target} is the target of no part in ${QV450_LAYERS_FILE}")
  endif()
  set(${out} ${parts} PARENT_SCOPE)
endfunction()

# qv450_layer_deps(TARGET OUT): the targets TARGET links, from what its parts
# use; empty when a part needs Qt and the build has none.
function(qv450_layer_deps target out)
  qv450_layer_parts(${target} parts)
  set(deps)
  foreach(part IN LISTS parts)
    if(QV450_PART_${part}_NEEDS_QT AND NOT QV450_WITH_QT)
      set(${out} "" PARENT_SCOPE)
      return()
    endif()
    foreach(use IN LISTS QV450_PART_${part}_USES)
      list(APPEND deps ${QV450_PART_${use}_TARGET})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES deps)
  list(REMOVE_ITEM deps ${target})
  set(${out} ${deps} PARENT_SCOPE)
endfunction()

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

# qv450_layer(TARGET [LINK package...] [PCH kind...]): the static library
# TARGET of src/layers.txt, made of every .cpp file of its parts, seeing its
# parts' folders and its dependencies' views, linking the packages given
# (publicly) and those its parts use (privately), built in unity batches
# with the standard library and the PCH kinds precompiled (cmake/Speed.cmake).
# Left out when a part needs Qt and the build has none, and when its folders
# hold no source yet.
function(qv450_layer target)
  cmake_parse_arguments(L "" "" "LINK;PCH" ${ARGN})
  qv450_layer_parts(${target} parts)
  set(srcs)
  set(qt OFF)
  set(packages)
  foreach(part IN LISTS parts)
    if(QV450_PART_${part}_NEEDS_QT AND NOT QV450_WITH_QT)
      return()
    endif()
    if(QV450_PART_${part}_QT)
      set(qt ON)
    endif()
    foreach(package IN LISTS QV450_PART_${part}_PACKAGES)
      list(APPEND packages ${QV450_PACKAGE_${package}})
    endforeach()
    file(GLOB_RECURSE part_srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${QV450_PART_${part}_FOLDER}/*.cpp)
    list(APPEND srcs ${part_srcs})
  endforeach()
  # A file of a folder inside a part's folder may belong to another target.
  list(REMOVE_DUPLICATES srcs)
  set(own_srcs)
  foreach(src IN LISTS srcs)
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${src})
    qv450_part_of(${rel} part)
    if(part IN_LIST parts)
      list(APPEND own_srcs ${src})
    endif()
  endforeach()
  if(NOT own_srcs)
    return()
  endif()
  add_library(${target} STATIC ${own_srcs})
  # A link per part folder, except one inside another of the same target. The
  # view is made anew: its links may have been others (removing a link does
  # not touch the folder it points to).
  file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/include/${target})
  foreach(part IN LISTS parts)
    set(folder ${QV450_PART_${part}_FOLDER})
    set(inside OFF)
    foreach(other IN LISTS parts)
      string(FIND "${folder}" "${QV450_PART_${other}_FOLDER}/" at)
      if(at EQUAL 0)
        set(inside ON)
      endif()
    endforeach()
    if(NOT inside)
      qv450_view_path(${folder} rel base)
      qv450_include_view(${target} ${base} ${rel})
    endif()
  endforeach()
  qv450_layer_deps(${target} deps)
  list(REMOVE_DUPLICATES packages)
  target_link_libraries(${target} PUBLIC ${deps} ${L_LINK} PRIVATE qv450_warnings ${packages})
  if(qt)
    qv450_speed_up(${target} QT ${L_PCH})
  else()
    qv450_speed_up(${target} ${L_PCH})
  endif()
endfunction()
