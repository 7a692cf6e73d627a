# SPDX-License-Identifier: GPL-3.0-or-later
# What the Windows build delivers: a zip and an NSIS installer (cpack -G ZIP,
# cpack -G NSIS) with the program, README, licence and examples. The port
# driver inpoutx64.dll is the user's to install and never shipped. The
# program itself is installed beside its target (CMakeLists.txt).
install(FILES README.md COPYING DESTINATION .)
install(FILES
  examples/ampel.txt examples/ampel.szenario
  examples/foerderband.txt examples/foerderband.szenario
  examples/panel_demo.txt examples/panel_demo.szenario
  examples/interface_test.txt examples/interface_test.szenario
  DESTINATION examples)

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME taktler)
set(CPACK_PACKAGE_VENDOR "TAKTLER-Projekt")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "run command files against a motor control interface on the parallel port")
set(CPACK_PACKAGE_FILE_NAME taktler-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY TAKTLER)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/COPYING)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_PACKAGE_NAME TAKTLER)
set(CPACK_NSIS_DISPLAY_NAME "TAKTLER ${PROJECT_VERSION}")
# 64-bit program: into "Program Files", not "Program Files (x86)".
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MODIFY_PATH ON)
# A 64-bit installer and uninstaller: the default 32-bit stub needs WoW64.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_MENU_LINKS "README.md" "README")
# CPack's uninstaller removes the product's key but leaves the vendor's
# key above it; the product key goes first so the empty one can follow.
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS
  "DeleteRegKey SHCTX Software\\\\TAKTLER-Projekt\\\\TAKTLER
  DeleteRegKey /ifempty SHCTX Software\\\\TAKTLER-Projekt")
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PaketWindowsGenerator.cmake)
include(CPack)
