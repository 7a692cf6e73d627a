# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules and the Debian package (cpack -G DEB), kept apart from the build rules.
include(GNUInstallDirs)

set(TAKTLER_PAKET_BETREUER "TAKTLER-Projekt <taktler@example.org>"
    CACHE STRING "Maintainer of the Debian package, as Name <address>")

# The manual pages (German under de, English as the default) and the
# changelog are installed gzip-compressed as Debian wants them; -n keeps name
# and time out of the header for reproducible packages.
set(TAKTLER_PAKET_DIR ${PROJECT_BINARY_DIR}/paket)
file(MAKE_DIRECTORY ${TAKTLER_PAKET_DIR}/de ${TAKTLER_PAKET_DIR}/en)
configure_file(${PROJECT_SOURCE_DIR}/paket/taktler.1.in ${TAKTLER_PAKET_DIR}/de/taktler.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/paket/taktler.en.1.in ${TAKTLER_PAKET_DIR}/en/taktler.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/paket/changelog.in ${TAKTLER_PAKET_DIR}/changelog @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/paket/taktler-zeitdiagramm.1.in
  ${TAKTLER_PAKET_DIR}/de/taktler-zeitdiagramm.1 @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/paket/taktler-zeitdiagramm.en.1.in
  ${TAKTLER_PAKET_DIR}/en/taktler-zeitdiagramm.1 @ONLY)
find_program(TAKTLER_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${TAKTLER_PAKET_DIR}/de/taktler.1.gz ${TAKTLER_PAKET_DIR}/en/taktler.1.gz
    ${TAKTLER_PAKET_DIR}/de/taktler-zeitdiagramm.1.gz
    ${TAKTLER_PAKET_DIR}/en/taktler-zeitdiagramm.1.gz ${TAKTLER_PAKET_DIR}/changelog.gz
  COMMAND ${TAKTLER_GZIP} -9nkf de/taktler.1 en/taktler.1 de/taktler-zeitdiagramm.1
    en/taktler-zeitdiagramm.1 changelog
  WORKING_DIRECTORY ${TAKTLER_PAKET_DIR}
  DEPENDS ${TAKTLER_PAKET_DIR}/de/taktler.1 ${TAKTLER_PAKET_DIR}/en/taktler.1
    ${TAKTLER_PAKET_DIR}/de/taktler-zeitdiagramm.1 ${TAKTLER_PAKET_DIR}/en/taktler-zeitdiagramm.1
    ${TAKTLER_PAKET_DIR}/changelog
  VERBATIM)
add_custom_target(taktler_paket_dateien ALL
  DEPENDS ${TAKTLER_PAKET_DIR}/de/taktler.1.gz ${TAKTLER_PAKET_DIR}/en/taktler.1.gz
    ${TAKTLER_PAKET_DIR}/de/taktler-zeitdiagramm.1.gz
    ${TAKTLER_PAKET_DIR}/en/taktler-zeitdiagramm.1.gz ${TAKTLER_PAKET_DIR}/changelog.gz)

install(FILES ${TAKTLER_PAKET_DIR}/en/taktler.1.gz ${TAKTLER_PAKET_DIR}/en/taktler-zeitdiagramm.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TAKTLER_PAKET_DIR}/de/taktler.1.gz ${TAKTLER_PAKET_DIR}/de/taktler-zeitdiagramm.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/de/man1)
# Editor support: Vim finds its files in vimfiles, nano's /etc/nanorc includes
# /usr/share/nano, the TextMate grammar is for editors to import.
foreach(teil syntax ftdetect compiler)
  install(FILES editoren/vim/${teil}/taktler.vim DESTINATION ${CMAKE_INSTALL_DATADIR}/vim/vimfiles/${teil})
endforeach()
install(FILES editoren/nano/taktler.nanorc DESTINATION ${CMAKE_INSTALL_DATADIR}/nano)
install(FILES editoren/textmate/taktler.tmLanguage.json DESTINATION ${CMAKE_INSTALL_DATADIR}/taktler)

# The timing diagram ready in GTKWave: save file, translate filter of the
# motor states, and the wrapper that opens a diagram with them, zoomed to the
# whole run. The save file names the filter by its path in the package
# (GTKWave also finds it beside the save file wherever that lies).
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(TAKTLER_GTKWAVE_DIR ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/taktler)
configure_file(${PROJECT_SOURCE_DIR}/paket/taktler.gtkw.in ${TAKTLER_PAKET_DIR}/taktler.gtkw @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/paket/motoren.gtkwf ${TAKTLER_PAKET_DIR}/motoren.gtkwf COPYONLY)
install(FILES ${TAKTLER_PAKET_DIR}/taktler.gtkw ${TAKTLER_PAKET_DIR}/motoren.gtkwf
  DESTINATION ${CMAKE_INSTALL_DATADIR}/taktler)
install(PROGRAMS paket/taktler-zeitdiagramm DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES README.md paket/copyright ${TAKTLER_PAKET_DIR}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES
  examples/ampel.txt examples/ampel.szenario
  examples/foerderband.txt examples/foerderband.szenario
  examples/panel_demo.txt examples/panel_demo.szenario
  examples/interface_test.txt examples/interface_test.szenario
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# The check of a command file against a stored run, with the stored run of
# foerderband that the README's example compares with.
install(PROGRAMS examples/kommandodatei_pruefen.sh DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(DIRECTORY examples/foerderband.erwartet DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES paket/taktler.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME taktler)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME taktler)
set(CPACK_PACKAGE_VENDOR "TAKTLER-Projekt")
set(CPACK_PACKAGE_CONTACT "${TAKTLER_PAKET_BETREUER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "run command files against a motor control interface on the parallel port")
# Lines wrapped by hand: CPack indents them but does not wrap.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
TAKTLER runs a command file of German keywords line by line against a
control interface on a PC's parallel port: four motors (left, right, off),
eight switch inputs and two analog inputs. It switches motors, waits on
time, switch clicks and analog values, calls subroutines, arms an emergency
stop, plays sounds and appends to a protocol file.

Without the hardware the same command file runs on a built-in simulated
interface that a scenario file or a live terminal panel drives. A check
mode finds faults before any motor moves; a port log and a timing diagram
(VCD) show what a run did.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gtkwave, pulseview | sigrok-cli")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
