# SPDX-License-Identifier: MIT
# Run by CPack on the staged tree before it is packed: compresses the man pages, links each
# launcher's page to quillon's, adds the changelog and moves the udev rules, as Debian wants
# them (gzip -9n: no name or time stamp, so that the package reproduces).
file(GLOB staged_usr "${CPACK_TEMPORARY_DIRECTORY}/usr")
set(man1 ${staged_usr}/share/man/man1)
set(docs ${staged_usr}/share/doc/quillon)
configure_file(${CPACK_QUILLON_CHANGELOG} ${docs}/changelog COPYONLY)
file(GLOB pages ${man1}/*.1)
foreach(file IN LISTS pages ITEMS ${docs}/changelog)
    execute_process(COMMAND gzip -9nf ${file} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(GLOB launchers RELATIVE ${staged_usr}/bin ${staged_usr}/bin/quillon-*)
foreach(launcher IN LISTS launchers)
    file(CREATE_LINK quillon.1.gz ${man1}/${launcher}.1.gz SYMBOLIC)
endforeach()

# udev rules go where udev looks for the packages' own: /lib/udev/rules.d.
if(EXISTS ${staged_usr}/lib/udev)
    file(MAKE_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY}/lib)
    file(RENAME ${staged_usr}/lib/udev ${CPACK_TEMPORARY_DIRECTORY}/lib/udev)
endif()
