# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack for each generator: the installer is named -setup.exe.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
endif()
