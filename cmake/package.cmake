# SPDX-License-Identifier: MIT
# `make package`: a Debian package (CPack's DEB generator) of what `cmake --install` installs,
# under /usr. Its dependencies come from dpkg-shlibdeps.
if(WIN32)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR "the quillon developers")
set(CPACK_PACKAGE_CONTACT "the quillon developers <quillon@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console programmer for AVR ATmega microcontrollers")
set(CPACK_PACKAGE_DESCRIPTION
    "quillon programs AVR ATmega microcontrollers through their serial\n"
    "programming interface, bit-banged by a small adapter. It downloads Intel\n"
    "HEX files into flash and EEPROM, verifies them by read-back, uploads\n"
    "memories into HEX files, identifies the chip by its signature and reads\n"
    "and writes fuse, lock and calibration bytes, also through a USBasp\n"
    "programmer (quillon-usbasp). A simulated adapter and ATmega come with it\n"
    "(quillon-sim).")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
# Debian's layout in the package only: man pages and the changelog compressed.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/package-compress.cmake)
set(CPACK_QUILLON_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/changelog)
include(CPack)
