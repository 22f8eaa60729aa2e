# SPDX-License-Identifier: MIT
# What `cmake --install` puts under the prefix besides the program (src/) and its Linux io
# library (io/ppdev/), both in bin/: the simulated target with its quillon-sim launcher, the GPIO
# library with its quillon-gpio launcher, the SPI library with its quillon-spi launcher, the
# Arduino library with its quillon-arduino launcher, the man page and the user's documentation.
if(WIN32)
    return()
endif()

set(QUILLON_SIM_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quillon/sim)
if(TARGET io_sim)
    install(TARGETS io_sim LIBRARY DESTINATION ${QUILLON_SIM_LIBDIR})
    # The launcher finds the simulated library from its own folder, wherever the prefix is.
    if(IS_ABSOLUTE ${CMAKE_INSTALL_BINDIR} OR IS_ABSOLUTE ${QUILLON_SIM_LIBDIR})
        set(QUILLON_SIM_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/quillon/sim)
    else()
        file(RELATIVE_PATH relative /${CMAKE_INSTALL_BINDIR} /${QUILLON_SIM_LIBDIR})
        set(QUILLON_SIM_DIR "$bin/${relative}")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/quillon-sim.in
        ${PROJECT_BINARY_DIR}/install/quillon-sim @ONLY)
    install(PROGRAMS ${PROJECT_BINARY_DIR}/install/quillon-sim
        DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The GPIO library and its launcher, made the same way.
set(QUILLON_GPIO_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quillon/gpio)
if(TARGET io_gpio)
    install(TARGETS io_gpio LIBRARY DESTINATION ${QUILLON_GPIO_LIBDIR})
    if(IS_ABSOLUTE ${CMAKE_INSTALL_BINDIR} OR IS_ABSOLUTE ${QUILLON_GPIO_LIBDIR})
        set(QUILLON_GPIO_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/quillon/gpio)
    else()
        file(RELATIVE_PATH relative /${CMAKE_INSTALL_BINDIR} /${QUILLON_GPIO_LIBDIR})
        set(QUILLON_GPIO_DIR "$bin/${relative}")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/quillon-gpio.in
        ${PROJECT_BINARY_DIR}/install/quillon-gpio @ONLY)
    install(PROGRAMS ${PROJECT_BINARY_DIR}/install/quillon-gpio
        DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The Arduino library and its launcher, made the same way.
set(QUILLON_ARDUINO_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quillon/arduino)
if(TARGET io_arduino)
    install(TARGETS io_arduino LIBRARY DESTINATION ${QUILLON_ARDUINO_LIBDIR})
    if(IS_ABSOLUTE ${CMAKE_INSTALL_BINDIR} OR IS_ABSOLUTE ${QUILLON_ARDUINO_LIBDIR})
        set(QUILLON_ARDUINO_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/quillon/arduino)
    else()
        file(RELATIVE_PATH relative /${CMAKE_INSTALL_BINDIR} /${QUILLON_ARDUINO_LIBDIR})
        set(QUILLON_ARDUINO_DIR "$bin/${relative}")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/quillon-arduino.in
        ${PROJECT_BINARY_DIR}/install/quillon-arduino @ONLY)
    install(PROGRAMS ${PROJECT_BINARY_DIR}/install/quillon-arduino
        DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The SPI library and its launcher, made the same way.
set(QUILLON_SPI_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quillon/spi)
if(TARGET io_spi)
    install(TARGETS io_spi LIBRARY DESTINATION ${QUILLON_SPI_LIBDIR})
    if(IS_ABSOLUTE ${CMAKE_INSTALL_BINDIR} OR IS_ABSOLUTE ${QUILLON_SPI_LIBDIR})
        set(QUILLON_SPI_DIR ${CMAKE_INSTALL_FULL_LIBDIR}/quillon/spi)
    else()
        file(RELATIVE_PATH relative /${CMAKE_INSTALL_BINDIR} /${QUILLON_SPI_LIBDIR})
        set(QUILLON_SPI_DIR "$bin/${relative}")
    endif()
    configure_file(${CMAKE_CURRENT_LIST_DIR}/quillon-spi.in
        ${PROJECT_BINARY_DIR}/install/quillon-spi @ONLY)
    install(PROGRAMS ${PROJECT_BINARY_DIR}/install/quillon-spi
        DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/docs/quillon.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/wiring.svg
    ${PROJECT_SOURCE_DIR}/docs/spi-wiring.svg ${PROJECT_SOURCE_DIR}/docs/arduino-wiring.svg
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The license, where Debian and its users look for it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
