# The Windows release folder, <build>/release: the program, the channel updater, the help, the
# demo catalogue and a README with Windows line ends; zipped beside it as vistrelle-win32.zip
# (-win64 for 64 bits).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(release_name vistrelle-win64)
else()
    set(release_name vistrelle-win32)
endif()
set(release_dir ${CMAKE_BINARY_DIR}/release)
set(release_zip ${CMAKE_BINARY_DIR}/${release_name}.zip)
set(release_readme ${CMAKE_BINARY_DIR}/release-files/README.txt)
configure_file(${PROJECT_SOURCE_DIR}/data/windows/README.txt ${release_readme} @ONLY
    NEWLINE_STYLE CRLF)

find_program(ZIP zip REQUIRED)
add_custom_command(
    OUTPUT ${release_zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${release_dir} ${release_zip}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vistrelle> $<TARGET_FILE:channel_updater>
            ${VISTRELLE_HELP_FILE} ${PROJECT_SOURCE_DIR}/data/channels.dat ${release_readme}
            ${release_dir}
    COMMAND ${ZIP} -q -X -j ${release_zip} ${release_dir}/vistrelle.exe
            "${release_dir}/Channel updater.exe" ${release_dir}/Help.chm
            ${release_dir}/channels.dat ${release_dir}/README.txt
    DEPENDS vistrelle channel_updater vistrelle_help ${VISTRELLE_HELP_FILE}
            ${PROJECT_SOURCE_DIR}/data/channels.dat
            ${PROJECT_SOURCE_DIR}/data/windows/README.txt
    COMMENT "Assembling the release folder and ${release_name}.zip"
    VERBATIM)
add_custom_target(release DEPENDS ${release_zip})

# The installer, vistrelle-setup.exe (NSIS): for 32-bit Windows from the release folder, and the
# same script around a 64-bit build for the tests under Wine.
find_program(MAKENSIS makensis REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(nsis_target amd64-unicode)
else()
    set(nsis_target x86-unicode)
endif()
set(VISTRELLE_INSTALLER ${CMAKE_BINARY_DIR}/vistrelle-setup.exe CACHE INTERNAL "The installer")
set(installer_script ${PROJECT_SOURCE_DIR}/data/windows/vistrelle.nsi)
add_custom_command(
    OUTPUT ${VISTRELLE_INSTALLER}
    COMMAND ${MAKENSIS} -V2 -DTARGET=${nsis_target} -DRELEASE=${release_dir}
            -DICON=${PROJECT_SOURCE_DIR}/src/win32/vistrelle.ico -DOUTFILE=${VISTRELLE_INSTALLER}
            ${installer_script}
    DEPENDS ${release_zip} ${installer_script} ${PROJECT_SOURCE_DIR}/src/win32/vistrelle.ico
    COMMENT "Building vistrelle-setup.exe"
    VERBATIM)
add_custom_target(installer DEPENDS ${VISTRELLE_INSTALLER})
add_dependencies(release installer)
