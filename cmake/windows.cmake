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
