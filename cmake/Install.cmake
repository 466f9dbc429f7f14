# Installing the runner (cmake --install) and its Debian package (cpack): the program in
# bin/, its data in share/kelvane/ where it finds them from its own path, the manual page
# made from --help, the desktop entry, the MIME types of games, the icon and the shell
# completions.
include(GNUInstallDirs)

# The build tree holds its data beside the program, as an install does.
configure_file(${CMAKE_SOURCE_DIR}/data/kelvane.bmp ${CMAKE_BINARY_DIR}/share/kelvane/kelvane.bmp
               COPYONLY)

add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/kelvane.1 ${CMAKE_BINARY_DIR}/kelvane.1.gz
    COMMAND ${CMAKE_COMMAND} -DKELVANE=$<TARGET_FILE:kelvane> -DVERSION=${PROJECT_VERSION}
            -DOUT=${CMAKE_BINARY_DIR}/kelvane.1 -P ${CMAKE_SOURCE_DIR}/cmake/man-page.cmake
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/kelvane.1
    DEPENDS kelvane ${CMAKE_SOURCE_DIR}/cmake/man-page.cmake
    COMMENT "Writing the manual page")
add_custom_target(man ALL DEPENDS ${CMAKE_BINARY_DIR}/kelvane.1)

install(TARGETS kelvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/kelvane.bmp DESTINATION ${CMAKE_INSTALL_DATADIR}/kelvane)
install(FILES ${CMAKE_BINARY_DIR}/kelvane.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/kelvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/kelvane-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME kelvane.xml)
install(FILES data/kelvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES data/completions/kelvane.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kelvane)
install(FILES data/completions/_kelvane DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
file(GLOB KELVANE_DOCS ${CMAKE_SOURCE_DIR}/docs/*.md)
install(FILES README.md ${KELVANE_DOCS} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# scripts/package: build/kelvane_VERSION_ARCH.deb. Library dependencies come from the
# program's links (dpkg-shlibdeps); the rest are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VENDOR "Kelvane Runner")
set(CPACK_PACKAGE_CONTACT "Kelvane Runner developers <kelvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "runner for Kelvane games")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kelvane Runner plays Kelvane games natively on Linux, with a headless,\n deterministic mode for testing, recording and replay of play sessions, and\n tools to inspect, unpack and pack game files.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The video decoder loads FFmpeg's libraries itself when a game opens a video, and the
# sound output SDL2_mixer when sound first opens, so the program's links do not name them:
# their packages are named here, FFmpeg's at the versions built against (libavcodec59 and
# so on).
set(KELVANE_FFMPEG_PACKAGES)
foreach(module libavformat libavcodec libswscale libswresample libavutil)
    string(REGEX MATCH "^[0-9]+" major "${AV_${module}_VERSION}")
    list(APPEND KELVANE_FFMPEG_PACKAGES "${module}${major}")
endforeach()
list(JOIN KELVANE_FFMPEG_PACKAGES ", " KELVANE_FFMPEG_PACKAGES)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fluid-soundfont-gm, libsdl2-mixer-2.0-0, ${KELVANE_FFMPEG_PACKAGES}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
