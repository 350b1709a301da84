# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
# Installs the build into INSTALL_ROOT as DESTDIR, with prefix /usr, starting
# from an empty folder so that nothing of an earlier install is checked.
file(REMOVE_RECURSE ${INSTALL_ROOT})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${INSTALL_ROOT}
                        ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
