# Installing on Linux: `vistrelle` on the PATH is a small launcher that starts the program in
# the user's data folder; the program and the updater live in lib/vistrelle, the demo catalogue
# and the help file in share/vistrelle, with the desktop entry, icons and AppStream metainfo.
# `make package` turns the same rules into a Debian package (CPack).
include(GNUInstallDirs)

set(VISTRELLE_APP_ID org.vistrelle.Vistrelle)
set(VISTRELLE_PROGRAM_DIR lib/vistrelle)
set(VISTRELLE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/vistrelle)
set(linux_data ${PROJECT_SOURCE_DIR}/data/linux)

# `make install` builds nothing by itself: the Makefile builds what it installs (the program,
# the help file and the updater), so that installing never compiles the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(vistrelle_install_files DEPENDS vistrelle vistrelle_help)

file(RELATIVE_PATH program_from_bin /${CMAKE_INSTALL_BINDIR} /${VISTRELLE_PROGRAM_DIR})
file(RELATIVE_PATH data_from_bin /${CMAKE_INSTALL_BINDIR} /${VISTRELLE_DATA_DIR})
set(PROGRAM_FROM_BIN ${program_from_bin})
set(DATA_FROM_BIN ${data_from_bin})
configure_file(${linux_data}/vistrelle.in ${CMAKE_BINARY_DIR}/install/vistrelle @ONLY)

install(TARGETS vistrelle RUNTIME DESTINATION ${VISTRELLE_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/vistrelle-16.png
              ${PROJECT_SOURCE_DIR}/data/icons/vistrelle-32.png
        DESTINATION ${VISTRELLE_PROGRAM_DIR}/icons)
install(PROGRAMS ${CMAKE_BINARY_DIR}/install/vistrelle DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${VISTRELLE_HELP_FILE} ${PROJECT_SOURCE_DIR}/data/channels.dat
        DESTINATION ${VISTRELLE_DATA_DIR})
install(FILES ${linux_data}/${VISTRELLE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${linux_data}/${VISTRELLE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/data/icons/vistrelle-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${VISTRELLE_APP_ID}.png)
endforeach()

# Debian wants the copyright and a compressed changelog in the package's documentation folder,
# and a compressed manual page.
set(changelog_gz ${CMAKE_BINARY_DIR}/install/changelog.gz)
set(manual_gz ${CMAKE_BINARY_DIR}/install/vistrelle.1.gz)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND gzip -9 -n -c ${linux_data}/changelog > ${changelog_gz}
    DEPENDS ${linux_data}/changelog
    VERBATIM)
add_custom_command(OUTPUT ${manual_gz}
    COMMAND gzip -9 -n -c ${linux_data}/vistrelle.1 > ${manual_gz}
    DEPENDS ${linux_data}/vistrelle.1
    VERBATIM)
add_custom_target(vistrelle_compressed_docs ALL DEPENDS ${changelog_gz} ${manual_gz})
add_dependencies(vistrelle_install_files vistrelle_compressed_docs)
install(FILES ${linux_data}/copyright ${changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vistrelle)
install(FILES ${manual_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The updater is built by its own folder of the sources; its rules are added once every folder
# has been read, so that it does not matter where that folder is added.
function(vistrelle_install_updater)
    if(TARGET channel-updater)
        install(TARGETS channel-updater RUNTIME DESTINATION ${VISTRELLE_PROGRAM_DIR})
        add_dependencies(vistrelle_install_files channel-updater)
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL vistrelle_install_updater)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrelle)
set(CPACK_PACKAGE_VERSION 1.0~beta3)
set(CPACK_PACKAGE_VENDOR "The Vistrelle developers")
set(CPACK_PACKAGE_CONTACT "The Vistrelle developers <developers@vistrelle.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch internet TV and listen to internet radio")
set(CPACK_PACKAGE_DESCRIPTION
    "Vistrelle is a small program for watching television and listening to radio\n"
    "streams published on the internet. You pick a channel from a catalogue and it\n"
    "plays inside the program's own window. The catalogue can be narrowed to one\n"
    "country or to your favourites, sorted by any column, and updated from the\n"
    "community radio directory and public IPTV lists.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vistrelle.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Playback goes through GStreamer, whose plugins are not linked: they are named here, and the
# updater's country names (iso-codes), which it reads as data.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly, gstreamer1.0-libav, iso-codes")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
