# SPDX-License-Identifier: MIT
# The build's one helper for libraries that the sanitized tests link too.

# quillon_dual_library(name SOURCES ... [INCLUDES ...] [LIBS ...] [PRIVATE_LIBS ...]): a static
# library with public include folders, public and private libraries, plus name_asan built with
# the sanitizers (linking the libraries' own _asan twins) when sanitized tests are on.
function(quillon_dual_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;INCLUDES;LIBS;PRIVATE_LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${ARG_INCLUDES})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    if(QUILLON_SANITIZED_TESTS AND QUILLON_TESTS AND NOT WIN32)
        add_library(${name}_asan STATIC ${ARG_SOURCES})
        target_include_directories(${name}_asan PUBLIC ${ARG_INCLUDES})
        foreach(kind LIBS PRIVATE_LIBS)
            set(asan_${kind})
            foreach(lib IN LISTS ARG_${kind})
                if(TARGET ${lib}_asan)
                    list(APPEND asan_${kind} ${lib}_asan)
                else()
                    list(APPEND asan_${kind} ${lib})
                endif()
            endforeach()
        endforeach()
        target_link_libraries(${name}_asan PUBLIC ${asan_LIBS} PRIVATE ${asan_PRIVATE_LIBS})
        target_compile_options(${name}_asan PUBLIC ${QUILLON_SANITIZE_FLAGS})
        target_link_options(${name}_asan PUBLIC ${QUILLON_SANITIZE_FLAGS})
        set_target_properties(${name}_asan PROPERTIES POSITION_INDEPENDENT_CODE ON)
    endif()
endfunction()
