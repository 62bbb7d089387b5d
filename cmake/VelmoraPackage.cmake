# The Debian package: `cpack -G DEB` in a build tree. It lays the program out as a system
# package does (programs in /usr/bin, data in /usr/share/velmora, where the programs look when
# nothing stands beside them) and adds the files the desktop reads. These rules belong to the
# component velmora-system alone, which a plain `cmake --install` leaves out, so the one-folder
# install stays as it is.
include(GNUInstallDirs)
set(VELMORA_SYSTEM velmora-system)
set(VELMORA_SHARE ${CMAKE_INSTALL_DATADIR})

install(TARGETS velmora velmora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
# Stripping (CPACK_STRIP_FILES) keeps the compiler's version notes in .comment, which nothing
# reads; they go after it, from the packaged programs only.
install(CODE "
    foreach(program velmora velmora-cli)
        execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
            RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR \"objcopy could not remove .comment from \${program}\")
        endif()
    endforeach()
" COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
foreach(asset IN LISTS VELMORA_ASSET_FILES)
    cmake_path(GET asset PARENT_PATH asset_dir)
    install(FILES ${VELMORA_ASSETS_DIR}/${asset} DESTINATION ${VELMORA_SHARE}/velmora/${asset_dir}
        COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
endforeach()

# The desktop entry starts the program by name and takes its icon from the theme.
set(VELMORA_EXEC velmora)
set(VELMORA_PATH_LINE "")
set(VELMORA_ICON velmora)
configure_file(${PROJECT_SOURCE_DIR}/src/app/velmora.desktop.in
    ${CMAKE_BINARY_DIR}/packaging/velmora.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/velmora.desktop
    DESTINATION ${VELMORA_SHARE}/applications COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmora-mime.xml RENAME velmora.xml
    DESTINATION ${VELMORA_SHARE}/mime/packages COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velmora.thumbnailer
    DESTINATION ${VELMORA_SHARE}/thumbnailers COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
foreach(size 48 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/velmora-${size}.png RENAME velmora.png
        DESTINATION ${VELMORA_SHARE}/icons/hicolor/${size}x${size}/apps
        COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/velmora.svg
    DESTINATION ${VELMORA_SHARE}/icons/hicolor/scalable/apps
    COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)

# The changelog's newest entry names the version too: a new version in project() needs its entry.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog VELMORA_CHANGELOG_TOP LIMIT_COUNT 1)
string(FIND "${VELMORA_CHANGELOG_TOP}" "velmora (${PROJECT_VERSION}) " VELMORA_CHANGELOG_AT)
if(NOT VELMORA_CHANGELOG_AT EQUAL 0)
    message(FATAL_ERROR "packaging/debian/changelog begins with \"${VELMORA_CHANGELOG_TOP}\", "
        "not velmora (${PROJECT_VERSION}): add an entry for the version in project()")
endif()

# Debian wants the copyright file and a compressed, reproducible changelog in the doc folder.
# A native package: its changelog is changelog.gz.
set(VELMORA_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${VELMORA_CHANGELOG}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/debian/changelog > ${VELMORA_CHANGELOG}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog VERBATIM)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${VELMORA_CHANGELOG}
    DESTINATION ${VELMORA_SHARE}/doc/velmora COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)

# Manual pages: the window's is written by hand; velmora-cli's is made from its own --help, so
# the two never disagree.
# The window's page takes its version from project().
configure_file(${PROJECT_SOURCE_DIR}/packaging/velmora.1.in ${CMAKE_BINARY_DIR}/packaging/velmora.1 @ONLY)
set(VELMORA_MAN_PAGES ${CMAKE_BINARY_DIR}/packaging/velmora.1.gz)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/velmora.1.gz
    COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/packaging/velmora.1 >
        ${CMAKE_BINARY_DIR}/packaging/velmora.1.gz
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/velmora.1 VERBATIM)
find_program(HELP2MAN_EXE help2man)
if(HELP2MAN_EXE)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/velmora-cli.1.gz
        COMMAND ${HELP2MAN_EXE} --no-info --no-discard-stderr
            "--name=convert a game's menu-tile files to pictures and back"
            --output=${CMAKE_BINARY_DIR}/packaging/velmora-cli.1 $<TARGET_FILE:velmora-cli>
        COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/packaging/velmora-cli.1
        DEPENDS velmora-cli VERBATIM)
    list(APPEND VELMORA_MAN_PAGES ${CMAKE_BINARY_DIR}/packaging/velmora-cli.1.gz)
else()
    message(STATUS "help2man not found: the package goes without velmora-cli's manual page")
endif()
install(FILES ${VELMORA_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT ${VELMORA_SYSTEM} EXCLUDE_FROM_ALL)
add_custom_target(velmora_package_files ALL DEPENDS ${VELMORA_CHANGELOG} ${VELMORA_MAN_PAGES})

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "Velmora developers <velmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "converter for a game's compressed menu-tile files")
set(CPACK_PACKAGE_DESCRIPTION
    "Velmora unpacks a game's compressed menu-tile files into DDS or PNG\n\
pictures and packs edited pictures back. It has a desktop window and a\n\
command line (velmora-cli), and shows thumbnails of game files and DDS\n\
images in file managers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${VELMORA_SYSTEM})
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_DEBIAN_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no library link names: the window cannot open without Qt's platform plug-ins (only
# recommended by Qt), and its captions are measured for Liberation Sans (a fresh system has
# DejaVu Sans alone, in which they overrun their buttons).
# TIFF and WebP, which the pictures Pack takes include, come from Qt's image format plug-ins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, qt6-qpa-plugins, qt6-image-formats-plugins")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
