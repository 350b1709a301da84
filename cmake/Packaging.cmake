# SPDX-License-Identifier: MIT
# Copyright (c) 2026 The Kestrine developers
# A Debian package of the installed tree (scripts/package builds it). The
# library dependencies come from dpkg-shlibdeps, so the package asks for
# exactly the FFmpeg and Qt libraries the programs were linked with.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrine)
set(CPACK_PACKAGE_VENDOR "The Kestrine developers")
set(CPACK_PACKAGE_CONTACT "The Kestrine developers <kestrine@example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "join the sound of media files into one file")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrine joins the sound of a list of media files (audio files, and the sound
track of video files) one after another, in list order, into one WAV, FLAC,
MP3, Opus or M4A file.
Joins are exact and gapless: every file occupies exactly its own length in
the output, with no gaps or clicks at the joins.

The package holds the window, kestrine, and kestrine-join, the same join
from a terminal for scripts and batch work.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(KESTRINE_HOME_PAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KESTRINE_HOME_PAGE_URL}")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")

include(CPack)
