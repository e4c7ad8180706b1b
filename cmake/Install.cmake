# What `cmake --install build --prefix P` puts where (GNU layout):
#
#   bin/                      orbisight, orbisight-cli, orbisight-sim
#   lib/orbisight/            libRK_ORBCSClient.so, the cloud-storage library
#   share/orbisight/images/   the skin images
#   share/orbisight/sim/      the simulator's demo configuration and SD cards
#   share/applications/, share/icons/hicolor/, share/metainfo/,
#   share/man/man1/, share/bash-completion/completions/
#
# The programs find lib/orbisight and share/orbisight relative to their own
# folder (platform/ProgramFiles), so no path of the build or of the prefix
# is built into them. They link no shared library of ours, so the installed
# copies carry no RUNPATH at all.

set(ORBISIGHT_RES ${CMAKE_SOURCE_DIR}/res)
set(ORBISIGHT_IMAGES_BUILT ${CMAKE_BINARY_DIR}/bin/images)

foreach(program orbisight orbisight-cli orbisight-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# A private library: no SONAME, loaded by path, nothing links against it.
install(TARGETS RK_ORBCSClient LIBRARY DESTINATION ${ORBISIGHT_INSTALL_LIBDIR})

# The simulator's demo: its configuration files and the recordings of the
# simulated SD cards, which the configuration names relative to itself.
file(GLOB ORBISIGHT_SIM_CONFIG CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/*.json)
install(FILES ${ORBISIGHT_SIM_CONFIG} DESTINATION ${ORBISIGHT_INSTALL_DATADIR}/sim)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/sim/sd DESTINATION ${ORBISIGHT_INSTALL_DATADIR}/sim)

if(TARGET orbisight)
  # The skin images, drawn by the build (res/skin).
  install(DIRECTORY ${ORBISIGHT_IMAGES_BUILT}/ DESTINATION ${ORBISIGHT_INSTALL_DATADIR}/images
          PATTERN .skin-stamp EXCLUDE)

  # The application menu: entry, icon in the theme's sizes, AppStream data.
  install(FILES ${ORBISIGHT_RES}/orbisight.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  foreach(size 16 22 24 32 48 64 128)
    install(FILES ${ORBISIGHT_IMAGES_BUILT}/orbisight-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME orbisight.png)
  endforeach()
  install(FILES ${ORBISIGHT_IMAGES_BUILT}/orbisight.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
  install(FILES ${ORBISIGHT_RES}/org.orbisight.orbisight.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Manual pages, compressed as Debian wants them (gzip -n: no name or time
# stamp, so the package is the same at every build).
find_program(ORBISIGHT_GZIP gzip REQUIRED)
set(ORBISIGHT_MAN_PAGES)
foreach(page orbisight orbisight-cli orbisight-sim)
  set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
  set(packed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(
    OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${ORBISIGHT_GZIP} -9 -n -c ${source} > ${packed}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${page}(1)")
  list(APPEND ORBISIGHT_MAN_PAGES ${packed})
endforeach()
add_custom_target(orbisight_man ALL DEPENDS ${ORBISIGHT_MAN_PAGES})
install(FILES ${ORBISIGHT_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${ORBISIGHT_RES}/completion/orbisight-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME orbisight-cli)
