# SPDX-License-Identifier: MIT
# The stand-in InpOut DLL that the Wine test puts beside the InpOut io.dll (inpout/io.dll, built
# by io/), and the stand-in libusb-1.0.dll; only built when asked for, as the targets
# inpout_standin and libusb_standin. The simulated io.dll lies beside quillon.exe (io/).
if(WIN32)
    add_subdirectory(tests/e2e/windows/standin ${PROJECT_BINARY_DIR}/standin-build EXCLUDE_FROM_ALL)
endif()
