# Build functions shared by every subsystem.
#
#   eegmex_core(<name> SOURCES ... [LIBS ...])
#       static library of plain C++ (no host headers); includes are rooted at
#       the project's top, e.g. #include "lowrank/pivoted_icf.h".
#   eegmex_mex(<deliverable> SOURCE <subsystem>/<deliverable>.cpp
#              [LIBS ...] [HELP <stub.m>])
#       the deliverable as an Octave MEX file build/mex/<deliverable>.mex
#       (with its help stub beside it) and as a stand-in host module
#       build/standin/<deliverable>.so.
#   eegmex_gtest(<name> SOURCES ... [LIBS ...] [MODULES ...])
#       GoogleTest executable under ctest; it may load stand-in modules with
#       standin::call("<deliverable>", ...).  Building it builds every
#       deliverable declared before it in the same folder (both the stand-in
#       module and the Octave MEX file, so that the folder's Octave test can
#       run too) and the deliverables or targets named in MODULES.
#   eegmex_octave_test(<name> SCRIPT <file.m>)
#       runs the script in octave-cli with build/mex and tests/octave on the
#       path; any uncaught error fails the test.
#   eegmex_bench(<name> SOURCES ... [LIBS ...])
#       Google Benchmark executable in build/bench/.
#   eegmex_write_build_lists(<file>)
#       writes the build lists (every deliverable's sources and libraries,
#       the shared libraries and .m files beside the MEX files, the headers)
#       as make variables, for the builds that do without CMake: the Octave
#       package's Makefile and eegmex_build.m read the copy at the top of the
#       source tree, eegmex_sources.mk.

set(EEGMEX_MEX_DIR ${CMAKE_BINARY_DIR}/mex)
set(EEGMEX_STANDIN_DIR ${CMAKE_BINARY_DIR}/standin)
set(EEGMEX_BENCH_DIR ${CMAKE_BINARY_DIR}/bench)
file(MAKE_DIRECTORY ${EEGMEX_MEX_DIR} ${EEGMEX_STANDIN_DIR})

# Results are fixed to the last bit by the stated accumulation orders: no
# contraction into fused multiply-adds, no fast-math, anywhere.
add_compile_options(-ffp-contract=off -fno-fast-math -Wall -Wextra
                    $<$<COMPILE_LANGUAGE:C>:-Werror=implicit-function-declaration>)

if(EEGMEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  set(EEGMEX_OCTAVE OFF)
  set(EEGMEX_BENCH OFF)
endif()

if(EEGMEX_OCTAVE)
  find_program(EEGMEX_MKOCTFILE mkoctfile REQUIRED)
  find_program(EEGMEX_OCTAVE_CLI octave-cli REQUIRED)
  execute_process(COMMAND ${EEGMEX_MKOCTFILE} -p OCTINCLUDEDIR
                  OUTPUT_VARIABLE _oct_inc OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${EEGMEX_MKOCTFILE} -p OCTLIBDIR
                  OUTPUT_VARIABLE _oct_lib OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(_oct_inc_parent ${_oct_inc} DIRECTORY)
  set(EEGMEX_OCTAVE_INCLUDES ${_oct_inc_parent} ${_oct_inc})
  find_library(EEGMEX_OCTINTERP octinterp PATHS ${_oct_lib} REQUIRED)
  find_library(EEGMEX_OCTLIB octave PATHS ${_oct_lib} REQUIRED)
  message(STATUS "Octave MEX headers: ${_oct_inc}")
endif()

function(eegmex_core name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_LIBS)
    target_link_libraries(${name} PUBLIC ${A_LIBS})
  endif()
endfunction()

function(eegmex_mex name)
  cmake_parse_arguments(A "" "SOURCE;HELP" "LIBS" ${ARGN})
  if(EEGMEX_OCTAVE)
    add_library(${name}_oct MODULE ${A_SOURCE})
    target_include_directories(${name}_oct PRIVATE ${PROJECT_SOURCE_DIR} ${EEGMEX_OCTAVE_INCLUDES})
    target_link_libraries(${name}_oct PRIVATE ${A_LIBS}
                          ${EEGMEX_OCTINTERP} ${EEGMEX_OCTLIB})
    target_link_options(${name}_oct PRIVATE -Wl,-Bsymbolic)
    set_target_properties(${name}_oct PROPERTIES OUTPUT_NAME ${name} PREFIX "" SUFFIX ".mex"
                          LIBRARY_OUTPUT_DIRECTORY ${EEGMEX_MEX_DIR})
    if(A_HELP)
      configure_file(${A_HELP} ${EEGMEX_MEX_DIR}/${name}.m COPYONLY)
    endif()
  endif()
  add_library(${name}_standin MODULE ${A_SOURCE})
  target_include_directories(${name}_standin PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name}_standin PRIVATE ${A_LIBS} eegmex_standin)
  set_target_properties(${name}_standin PROPERTIES OUTPUT_NAME ${name} PREFIX "" SUFFIX ".so"
                        LIBRARY_OUTPUT_DIRECTORY ${EEGMEX_STANDIN_DIR})
  set_property(DIRECTORY APPEND PROPERTY EEGMEX_DELIVERABLES ${name})
  get_filename_component(_source ${A_SOURCE} ABSOLUTE)
  set_property(GLOBAL APPEND PROPERTY EEGMEX_ALL_DELIVERABLES ${name})
  set_property(GLOBAL PROPERTY EEGMEX_${name}_SOURCE ${_source})
  set_property(GLOBAL PROPERTY EEGMEX_${name}_LIBS ${A_LIBS})
  if(A_HELP)
    get_filename_component(_help ${A_HELP} ABSOLUTE)
    set_property(GLOBAL PROPERTY EEGMEX_${name}_HELP ${_help})
  endif()
endfunction()

# The targets that build a deliverable: its stand-in module and, when Octave
# is built, its MEX file.
function(_eegmex_deliverable_targets out)
  set(targets)
  foreach(name ${ARGN})
    list(APPEND targets ${name}_standin)
    if(EEGMEX_OCTAVE)
      list(APPEND targets ${name}_oct)
    endif()
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(eegmex_gtest name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;MODULES" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_LIBS} eegmex_standin GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE EEGMEX_STANDIN_DIR="${EEGMEX_STANDIN_DIR}")
  get_property(_folder_deliverables DIRECTORY PROPERTY EEGMEX_DELIVERABLES)
  _eegmex_deliverable_targets(_needed ${_folder_deliverables})
  foreach(module ${A_MODULES})
    if(TARGET ${module}_standin)
      _eegmex_deliverable_targets(_more ${module})
      list(APPEND _needed ${_more})
    else()
      list(APPEND _needed ${module})
    endif()
  endforeach()
  if(_needed)
    add_dependencies(${name} ${_needed})
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS standin)
endfunction()

function(eegmex_octave_test name)
  cmake_parse_arguments(A "" "SCRIPT" "" ${ARGN})
  if(NOT EEGMEX_OCTAVE)
    return()
  endif()
  get_filename_component(_script ${A_SCRIPT} ABSOLUTE)
  add_test(NAME octave_${name}
           COMMAND ${EEGMEX_OCTAVE_CLI} --no-history --no-init-file --quiet --no-window-system
                   --eval "addpath('${EEGMEX_MEX_DIR}'); addpath('${PROJECT_SOURCE_DIR}/tests/octave'); source('${_script}');")
  set_tests_properties(octave_${name} PROPERTIES LABELS octave
                       ENVIRONMENT "EEGMEX_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

function(eegmex_bench name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT EEGMEX_BENCH)
    return()
  endif()
  find_package(benchmark REQUIRED)
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${A_LIBS} eegmex_standin benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE EEGMEX_STANDIN_DIR="${EEGMEX_STANDIN_DIR}")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${EEGMEX_BENCH_DIR})
endfunction()

# --- Build lists for the builds without CMake --------------------------------

# Appends to <sources_var> the sources and to <libs_var> the system libraries
# (dl, threads, linear, ...) that linking the given libraries brings in,
# following static libraries down to their own libraries.
function(_eegmex_resolve_libs sources_var libs_var)
  set(sources ${${sources_var}})
  set(libs ${${libs_var}})
  foreach(lib ${ARGN})
    if(lib STREQUAL "Threads::Threads")
      list(APPEND libs threads)
    elseif(TARGET ${lib})
      get_target_property(_type ${lib} TYPE)
      if(NOT _type STREQUAL "STATIC_LIBRARY")
        message(FATAL_ERROR "Build lists: ${lib} (${_type}) is not a static library; "
                            "eegmex_write_build_lists knows only static cores")
      endif()
      get_target_property(_dir ${lib} SOURCE_DIR)
      get_target_property(_srcs ${lib} SOURCES)
      foreach(src ${_srcs})
        get_filename_component(src ${src} ABSOLUTE BASE_DIR ${_dir})
        list(APPEND sources ${src})
      endforeach()
      get_target_property(_deps ${lib} LINK_LIBRARIES)
      if(_deps)
        _eegmex_resolve_libs(sources libs ${_deps})
      endif()
    elseif(lib MATCHES "^-l(.+)$")
      list(APPEND libs ${CMAKE_MATCH_1})
    elseif(IS_ABSOLUTE ${lib})
      get_filename_component(_base ${lib} NAME_WE)
      string(REGEX REPLACE "^lib" "" _base ${_base})
      list(APPEND libs ${_base})
    else()
      list(APPEND libs ${lib})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES sources)
  list(REMOVE_DUPLICATES libs)
  set(${sources_var} ${sources} PARENT_SCOPE)
  set(${libs_var} ${libs} PARENT_SCOPE)
endfunction()

# Project-relative paths of absolute ones, space-separated.
function(_eegmex_relative out)
  set(rel)
  foreach(path ${ARGN})
    file(RELATIVE_PATH _r ${PROJECT_SOURCE_DIR} ${path})
    list(APPEND rel ${_r})
  endforeach()
  string(REPLACE ";" " " rel "${rel}")
  set(${out} "${rel}" PARENT_SCOPE)
endfunction()

function(eegmex_write_build_lists file)
  get_property(deliverables GLOBAL PROPERTY EEGMEX_ALL_DELIVERABLES)
  set(text "# Build lists of the toolbox, written by CMake (eegmex_write_build_lists in\n")
  string(APPEND text "# cmake/eegmex.cmake) from the subsystems' CMakeLists.txt.  The Octave\n")
  string(APPEND text "# package's Makefile and eegmex_build.m read it; do not edit it: after a\n")
  string(APPEND text "# change to a CMakeLists.txt, `make build-lists` refreshes it.\n")
  string(APPEND text "# Paths are relative to the top of the source tree; LIBS are system\n")
  string(APPEND text "# libraries by short name (threads: the compiler's thread option).\n")
  string(APPEND text "EEGMEX_VERSION := ${PROJECT_VERSION}\n")
  string(REPLACE ";" " " _names "${deliverables}")
  string(APPEND text "EEGMEX_MEX := ${_names}\n")
  set(help_files)
  foreach(name ${deliverables})
    get_property(_source GLOBAL PROPERTY EEGMEX_${name}_SOURCE)
    get_property(_libs GLOBAL PROPERTY EEGMEX_${name}_LIBS)
    get_property(_help GLOBAL PROPERTY EEGMEX_${name}_HELP)
    set(sources ${_source})
    set(libs)
    _eegmex_resolve_libs(sources libs ${_libs})
    _eegmex_relative(_s ${sources})
    string(REPLACE ";" " " _l "${libs}")
    string(APPEND text "${name}_SOURCES := ${_s}\n${name}_LIBS := ${_l}\n")
    if(_help)
      _eegmex_relative(_h ${_help})
      string(APPEND text "${name}_HELP := ${_h}\n")
      list(APPEND help_files ${_help})
    endif()
  endforeach()

  # Shared libraries that sit beside the MEX files (the simulated driver).
  set(shared)
  set(shared_text "")
  foreach(subsystem ${EEGMEX_SUBSYSTEMS})
    get_property(_targets DIRECTORY ${PROJECT_SOURCE_DIR}/${subsystem} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${_targets})
      get_target_property(_type ${target} TYPE)
      get_target_property(_out ${target} LIBRARY_OUTPUT_DIRECTORY)
      if(_type STREQUAL "SHARED_LIBRARY" AND _out STREQUAL EEGMEX_MEX_DIR)
        list(APPEND shared ${target})
        get_target_property(_dir ${target} SOURCE_DIR)
        get_target_property(_srcs ${target} SOURCES)
        set(sources)
        foreach(src ${_srcs})
          get_filename_component(src ${src} ABSOLUTE BASE_DIR ${_dir})
          list(APPEND sources ${src})
        endforeach()
        get_target_property(_deps ${target} LINK_LIBRARIES)
        set(libs)
        if(_deps)
          _eegmex_resolve_libs(sources libs ${_deps})
        endif()
        _eegmex_relative(_s ${sources})
        string(REPLACE ";" " " _l "${libs}")
        string(APPEND shared_text "${target}_SOURCES := ${_s}\n${target}_LIBS := ${_l}\n")
      endif()
    endforeach()
  endforeach()
  string(REPLACE ";" " " _names "${shared}")
  string(APPEND text "EEGMEX_SHARED := ${_names}\n${shared_text}")

  # The other .m functions of the subsystems (not help stubs, not tests).
  set(mfiles ${PROJECT_SOURCE_DIR}/Contents.m)
  foreach(subsystem ${EEGMEX_SUBSYSTEMS})
    file(GLOB_RECURSE _found LIST_DIRECTORIES false ${PROJECT_SOURCE_DIR}/${subsystem}/*.m)
    foreach(f ${_found})
      if(NOT f MATCHES "/tests/" AND NOT f IN_LIST help_files)
        list(APPEND mfiles ${f})
      endif()
    endforeach()
  endforeach()
  _eegmex_relative(_m ${mfiles})
  string(APPEND text "EEGMEX_MFILES := ${_m}\n")

  # Headers the sources include.
  file(GLOB _headers LIST_DIRECTORIES false ${PROJECT_SOURCE_DIR}/host/*.h)
  foreach(subsystem ${EEGMEX_SUBSYSTEMS})
    file(GLOB_RECURSE _found LIST_DIRECTORIES false ${PROJECT_SOURCE_DIR}/${subsystem}/*.h)
    foreach(f ${_found})
      if(NOT f MATCHES "/tests/")
        list(APPEND _headers ${f})
      endif()
    endforeach()
  endforeach()
  list(SORT _headers)
  _eegmex_relative(_h ${_headers})
  string(APPEND text "EEGMEX_HEADERS := ${_h}\n")
  file(WRITE ${file}.tmp "${text}")
  configure_file(${file}.tmp ${file} COPYONLY)
endfunction()
