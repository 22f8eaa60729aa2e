# SPDX-License-Identifier: MIT
# The Windows build's io.dll: the simulated target, beside quillon.exe (LoadLibraryA looks in the
# program's folder first) and exporting its __stdcall entry points undecorated (SetPortBit, not
# SetPortBit@8), the names the program resolves with GetProcAddress.
if(NOT WIN32 OR NOT TARGET io_sim)
    return()
endif()
set_target_properties(io_sim PROPERTIES
    PREFIX ""
    OUTPUT_NAME io
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
target_link_options(io_sim PRIVATE -Wl,--kill-at)

# The stand-in InpOut DLL that the Wine test puts beside the InpOut io.dll (inpout/io.dll, built
# by io/inpout); only built when asked for, as the target inpout_standin.
add_subdirectory(tests/e2e/windows/standin ${PROJECT_BINARY_DIR}/standin-build EXCLUDE_FROM_ALL)
