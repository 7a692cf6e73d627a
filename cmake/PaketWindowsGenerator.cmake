# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack for each generator: the installer is named -setup.exe and
# puts the program into bin\, the folder its PATH option adds (CPack's
# installer script fixes that name); the zip keeps it at the top.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}-setup")
  set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/PaketWindowsBin.cmake")
endif()
