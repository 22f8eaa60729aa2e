# SPDX-License-Identifier: MIT
# The build's one helper for libraries that the sanitized tests link too.

# quillon_dual_library(name SOURCES ... [INCLUDES ...] [LIBS ...] [PRIVATE_LIBS ...]): a static
# library with public include folders, public and private libraries, plus name_asan built with
# the sanitizers (linking the libraries' own _asan twins where they have one) when sanitized
# tests are on.
function(quillon_dual_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;INCLUDES;LIBS;PRIVATE_LIBS" ${ARGN})
    set(asan "")
    if(QUILLON_SANITIZED_TESTS AND QUILLON_TESTS AND NOT WIN32)
        set(asan _asan)
    endif()
    foreach(suffix IN ITEMS "" ${asan})
        set(twin "$<IF:$<TARGET_EXISTS:\\0${suffix}>,\\0${suffix},\\0>")
        list(TRANSFORM ARG_LIBS REPLACE "^.+$" "${twin}" OUTPUT_VARIABLE libs)
        list(TRANSFORM ARG_PRIVATE_LIBS REPLACE "^.+$" "${twin}" OUTPUT_VARIABLE private_libs)
        add_library(${name}${suffix} STATIC ${ARG_SOURCES})
        target_include_directories(${name}${suffix} PUBLIC ${ARG_INCLUDES})
        target_link_libraries(${name}${suffix} PUBLIC ${libs} PRIVATE ${private_libs})
        set_target_properties(${name}${suffix} PROPERTIES POSITION_INDEPENDENT_CODE ON)
        if(suffix)
            target_compile_options(${name}${suffix} PUBLIC ${QUILLON_SANITIZE_FLAGS})
            target_link_options(${name}${suffix} PUBLIC ${QUILLON_SANITIZE_FLAGS})
        endif()
    endforeach()
endfunction()
