# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
# One list of warnings for our own targets; third-party headers come in as SYSTEM.
function(kestrine_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
endfunction()

# Every source file of a folder belongs to that folder's library, so that adding
# a class does not mean editing the build.
function(kestrine_library target)
  cmake_parse_arguments(ARG "" "" "LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${ARG_LINKS})
  kestrine_warnings(${target})
endfunction()
