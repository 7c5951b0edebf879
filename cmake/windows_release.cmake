# The Windows release folder, <build>/release: the program, its help, the demo catalogue and a
# README with Windows line ends; zipped beside it as vistrelle-win32.zip (-win64 for 64 bits).
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
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vistrelle> ${VISTRELLE_HELP_FILE}
            ${PROJECT_SOURCE_DIR}/data/channels.dat ${release_readme} ${release_dir}
    COMMAND ${ZIP} -q -X -j ${release_zip} ${release_dir}/vistrelle.exe ${release_dir}/Help.chm
            ${release_dir}/channels.dat ${release_dir}/README.txt
    DEPENDS vistrelle vistrelle_help ${VISTRELLE_HELP_FILE} ${PROJECT_SOURCE_DIR}/data/channels.dat
            ${PROJECT_SOURCE_DIR}/data/windows/README.txt
    COMMENT "Assembling the release folder and ${release_name}.zip"
    VERBATIM)
add_custom_target(release DEPENDS ${release_zip})
