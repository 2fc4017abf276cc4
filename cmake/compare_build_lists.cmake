# Fails when the build lists at the top of the source tree differ from the
# ones CMake has just written from the CMakeLists.txt files.
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${GENERATED} ${COMMITTED} RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "eegmex_sources.mk is out of date with the CMakeLists.txt files: run `make build-lists` "
                      "(it copies ${GENERATED}) and commit the result")
endif()
message(STATUS "eegmex_sources.mk is current")
