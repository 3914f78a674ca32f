# Installation and packages: the programs, their man pages, the README and
# qdkit's bash completion under the usual places of a prefix; `cpack -G DEB` and `cpack -G ZIP` make
# a Debian package and a zip of the same tree.
include(GNUInstallDirs)

set(KIT_PACKAGE_NAME quickdisk-kit)
set(KIT_PROGRAMS Talvret Omblisk Pelgrane Surbeck Wenmark qdkit)

set(kit_installed)
set(kit_pages)
foreach(program IN LISTS KIT_PROGRAMS)
    if(TARGET ${program})
        list(APPEND kit_installed ${program})
        list(APPEND kit_pages ${PROJECT_SOURCE_DIR}/man/${program}.1)
    endif()
endforeach()

install(TARGETS ${kit_installed} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${KIT_PACKAGE_NAME})
# Where bash-completion looks for a command's completion, by its name.
if(TARGET qdkit)
    install(FILES ${PROJECT_SOURCE_DIR}/completion/qdkit.bash
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/bash-completion/completions RENAME qdkit)
endif()

# Debian keeps man pages compressed; man reads them either way.
find_program(KIT_GZIP gzip)
if(UNIX AND KIT_GZIP)
    set(kit_compressed)
    foreach(page IN LISTS kit_pages)
        get_filename_component(name ${page} NAME)
        set(copy ${PROJECT_BINARY_DIR}/man/${name})
        add_custom_command(OUTPUT ${copy}.gz
            COMMAND ${CMAKE_COMMAND} -E copy ${page} ${copy}
            COMMAND ${KIT_GZIP} -9nf ${copy}
            DEPENDS ${page}
            COMMENT "Compressing ${name}"
            VERBATIM)
        list(APPEND kit_compressed ${copy}.gz)
    endforeach()
    add_custom_target(kit_man_pages ALL DEPENDS ${kit_compressed})
    install(FILES ${kit_compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    install(FILES ${kit_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME ${KIT_PACKAGE_NAME})
set(CPACK_PACKAGE_VENDOR "Quick Disk kit developers")
set(KIT_MAINTAINER "Quick Disk kit developers <quickdisk-kit@example.org>"
    CACHE STRING "Maintainer named in the packages")
set(CPACK_PACKAGE_CONTACT ${KIT_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converters between Quick Disk images and raw MFM bit streams")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Command-line converters between logical disk images and the raw MFM\n"
    "bit-stream images of Quick Disk media: the sides of Famicom Disk System\n"
    "disks (FDS images) and the QD sides of Sharp MZ computers (MZT files and\n"
    "QD image files). A disk writer puts a raw image on a real side; a\n"
    "capture of a side gives one back, which the decoders turn into files,\n"
    "checking every block's CRC.")
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)

# The dependencies follow from how the programs are linked; without
# dpkg-shlibdeps (package dpkg-dev) name every library they may need.
find_program(KIT_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KIT_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    set(CPACK_GENERATOR DEB ZIP)
else()
    set(CPACK_GENERATOR ZIP)
endif()
include(CPack)
