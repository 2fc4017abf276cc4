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
  # Sanitized MEX files load only into an octave-cli that has the sanitizer
  # runtimes preloaded (tests/fuzz/run_fuzz.sh, and the Octave tests of such
  # a tree, which the Makefile leaves to the release tree: ctest -L octave).
  if(EEGMEX_SANITIZE_MEX)
    foreach(_runtime asan ubsan)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${_runtime}.so
                      OUTPUT_VARIABLE _lib OUTPUT_STRIP_TRAILING_WHITESPACE)
      get_filename_component(_lib ${_lib} REALPATH)
      list(APPEND EEGMEX_SANITIZER_PRELOAD ${_lib})
    endforeach()
    string(REPLACE ";" ":" EEGMEX_SANITIZER_PRELOAD "${EEGMEX_SANITIZER_PRELOAD}")
  else()
    set(EEGMEX_OCTAVE OFF)
  endif()
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
    target_compile_definitions(${name}_oct PRIVATE EEGMEX_HOST_OCTAVE=1)
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
  set(_env "EEGMEX_BUILD_DIR=${CMAKE_BINARY_DIR}")
  if(EEGMEX_SANITIZE)
    list(APPEND _env "LD_PRELOAD=${EEGMEX_SANITIZER_PRELOAD}" "ASAN_OPTIONS=detect_leaks=0")
  endif()
  set_tests_properties(octave_${name} PROPERTIES LABELS octave ENVIRONMENT "${_env}")
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
