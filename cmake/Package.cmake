# The Debian package, built by scripts/package (cpack -G DEB) into build/:
# orbisight_VERSION_ARCH.deb with what cmake/Install.cmake installs, under
# /usr. Its dependencies are read from the programs' shared libraries
# (dpkg-shlibdeps, from dpkg-dev), plus what is loaded at run time and so
# not seen there: Qt's X11 platform plugin and VLC's decoders.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orbisight)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orbisight")
set(CPACK_PACKAGE_CONTACT "Orbisight developers <orbisight@example.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debian ships stripped programs; the debug information stays in build/.
set(CPACK_STRIP_FILES ON)

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for networked IP cameras")
# The package's long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Orbisight Cloud System signs in to a cloud camera account, lists the
account's cameras and a local list, and shows any number of them live on
a wall of panes, with sound, two-way talk, pan and tilt, snapshots and
recording to local files. It also searches the local network for cameras,
edits camera settings, browses and downloads the recordings kept on a
camera's SD card or in cloud storage, plays local recordings back and
shows alarm notifications.

The package also holds orbisight-cli, the client's engine from the
command line, and orbisight-sim, simulated cameras and services to try
the client without a camera.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, vlc-plugin-base")
# The full-width punctuation of some messages.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# What every Debian package carries in /usr/share/doc/orbisight: the
# copyright and (a native package) the change log, compressed.
set(ORBISIGHT_CHANGELOG ${CMAKE_BINARY_DIR}/debian/changelog.gz)
add_custom_command(
  OUTPUT ${ORBISIGHT_CHANGELOG}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/debian
  COMMAND ${ORBISIGHT_GZIP} -9 -n -c ${CMAKE_SOURCE_DIR}/res/debian/changelog > ${ORBISIGHT_CHANGELOG}
  DEPENDS ${CMAKE_SOURCE_DIR}/res/debian/changelog
  COMMENT "Compressing the package's change log")
add_custom_target(orbisight_changelog ALL DEPENDS ${ORBISIGHT_CHANGELOG})
install(FILES ${CMAKE_SOURCE_DIR}/res/debian/copyright ${ORBISIGHT_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(CPack)
