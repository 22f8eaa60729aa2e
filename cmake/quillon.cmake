# SPDX-License-Identifier: MIT
# Helpers shared by the subsystems' CMakeLists.

# quillon_core_sources(file...): adds sources to the program's core library. Each folder of src/
# lists its own files; the core library is made once all of them have been read.
function(quillon_core_sources)
    foreach(source IN LISTS ARGN)
        set_property(GLOBAL APPEND PROPERTY QUILLON_CORE_SOURCES
            ${CMAKE_CURRENT_SOURCE_DIR}/${source})
    endforeach()
endfunction()

# quillon_dual_library(name SOURCES ... [INCLUDES ...] [LIBS ...]): a static library, plus
# name_asan built with the sanitizers when sanitized tests are on.
function(quillon_dual_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;INCLUDES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${ARG_INCLUDES})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    if(QUILLON_SANITIZED_TESTS AND QUILLON_TESTS AND NOT WIN32)
        add_library(${name}_asan STATIC ${ARG_SOURCES})
        target_include_directories(${name}_asan PUBLIC ${ARG_INCLUDES})
        set(asan_libs)
        foreach(lib IN LISTS ARG_LIBS)
            if(TARGET ${lib}_asan)
                list(APPEND asan_libs ${lib}_asan)
            else()
                list(APPEND asan_libs ${lib})
            endif()
        endforeach()
        target_link_libraries(${name}_asan PUBLIC ${asan_libs})
        target_compile_options(${name}_asan PUBLIC ${QUILLON_SANITIZE_FLAGS})
        target_link_options(${name}_asan PUBLIC ${QUILLON_SANITIZE_FLAGS})
        set_target_properties(${name}_asan PROPERTIES POSITION_INDEPENDENT_CODE ON)
    endif()
endfunction()
