# SPDX-License-Identifier: GPL-3.0-or-later
# Run by cpack on the installer's staged files: taktler.exe into bin\.
file(MAKE_DIRECTORY "${CPACK_TEMPORARY_DIRECTORY}/bin")
file(RENAME "${CPACK_TEMPORARY_DIRECTORY}/taktler.exe" "${CPACK_TEMPORARY_DIRECTORY}/bin/taktler.exe")
