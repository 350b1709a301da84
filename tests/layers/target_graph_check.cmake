# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
# Fails when TARGET depends, directly or through another library, on a
# target matching FORBIDDEN. The graph is CMake's own: the sources in
# SOURCE_DIR are configured into SCRATCH_DIR (nothing is built) with
# --graphviz, whose file for TARGET holds every target it reaches.
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE_DIR} -B ${SCRATCH_DIR} -G Ninja
                        -DKESTRINE_BUILD_TESTS=OFF --graphviz=${SCRATCH_DIR}/graph/targets.dot
                RESULT_VARIABLE configured OUTPUT_QUIET ERROR_VARIABLE errors)
if(NOT configured EQUAL 0)
  message(FATAL_ERROR "configuring ${SOURCE_DIR} failed:\n${errors}")
endif()
set(graph ${SCRATCH_DIR}/graph/targets.dot.${TARGET})
if(NOT EXISTS ${graph})
  message(FATAL_ERROR "CMake drew no graph for ${TARGET}")
endif()
file(READ ${graph} dot)
string(REGEX MATCHALL "label = \"[^\"]*\"" labels "${dot}")
set(reached "")
foreach(label IN LISTS labels)
  string(REGEX REPLACE "label = \"([^\"]*)\"" "\\1" name "${label}")
  list(APPEND reached ${name})
endforeach()
list(FIND reached ${TARGET} self)
if(self EQUAL -1)
  message(FATAL_ERROR "the graph of ${TARGET} does not name it:\n${dot}")
endif()
list(FILTER reached INCLUDE REGEX "${FORBIDDEN}")
if(reached)
  message(FATAL_ERROR "${TARGET} depends on ${reached}")
endif()
message(STATUS "${TARGET} depends on nothing matching ${FORBIDDEN}")
