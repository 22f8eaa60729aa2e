# SPDX-License-Identifier: MIT
# What `cmake --install` puts under the prefix besides the program (src/) and the io libraries
# with their launchers (io/): the man page, the user's documentation and the license.
if(WIN32)
    return()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/docs/quillon.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/wiring.svg
    ${PROJECT_SOURCE_DIR}/docs/spi-wiring.svg ${PROJECT_SOURCE_DIR}/docs/arduino-wiring.svg
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The license, where Debian and its users look for it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
