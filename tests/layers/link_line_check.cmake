# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
# Fails when the link command of TARGET in the Ninja file BUILD_FILE names a
# library matching FORBIDDEN: the layers hold only if the linker never sees
# what a layer must not use, not only when --as-needed drops it again.
file(READ "${BUILD_FILE}" ninja)
string(REGEX MATCH "\nbuild ${TARGET}:[^\n]*\n(  [^\n]*\n)*" block "${ninja}")
if(block STREQUAL "")
  message(FATAL_ERROR "${BUILD_FILE} has no link command for ${TARGET}")
endif()
string(REGEX MATCH "LINK_LIBRARIES = [^\n]*" libraries "${block}")
if(libraries STREQUAL "")
  message(FATAL_ERROR "the link command of ${TARGET} names no libraries")
endif()
string(REGEX MATCHALL "${FORBIDDEN}" found "${libraries}")
if(found)
  list(REMOVE_DUPLICATES found)
  message(FATAL_ERROR "${TARGET} links ${found}:\n${libraries}")
endif()
message(STATUS "${TARGET} links none of ${FORBIDDEN}")
