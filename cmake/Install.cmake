# Installing Thermava as a Linux desktop application (cmake --install, and the Debian package
# that scripts/package.sh builds with CPack). The build tree keeps working on its own: an
# installed copy only differs in that it writes into the user's folders (see ConfigStore).
include(GNUInstallDirs)

# The client's build-tree name is Thermava; installed commands are lower case.
install(PROGRAMS $<TARGET_FILE:thermava> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME thermava)
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/thermava\")
  endif()")
install(TARGETS thermava-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(THERMAVA_LINUX_DIR ${PROJECT_SOURCE_DIR}/resources/linux)
install(FILES ${THERMAVA_LINUX_DIR}/org.thermava.Thermava.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${THERMAVA_LINUX_DIR}/org.thermava.Thermava.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${THERMAVA_LINUX_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
if(EXISTS ${PROJECT_SOURCE_DIR}/tools/superres/model.onnx)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/superres/model.onnx DESTINATION ${CMAKE_INSTALL_DATADIR}/thermava)
endif()
# The camera's USB device for the logged-in user, so the command channel needs no root. udev
# rules belong under /lib (the package's prefix is /usr; merged /usr makes both the same).
if(EXISTS ${PROJECT_SOURCE_DIR}/platform/v4l2/70-thermava.rules)
  install(FILES ${PROJECT_SOURCE_DIR}/platform/v4l2/70-thermava.rules DESTINATION lib/udev/rules.d)
endif()
# Debian wants the copyright and a compressed changelog in /usr/share/doc/<package>.
install(FILES ${THERMAVA_LINUX_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/thermava)
find_program(GZIP_PROGRAM gzip)
if(GZIP_PROGRAM)
  set(THERMAVA_CHANGELOG_GZ ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${THERMAVA_CHANGELOG_GZ}
    COMMAND ${GZIP_PROGRAM} -9nc ${THERMAVA_LINUX_DIR}/changelog > ${THERMAVA_CHANGELOG_GZ}
    DEPENDS ${THERMAVA_LINUX_DIR}/changelog)
  add_custom_target(thermava_changelog ALL DEPENDS ${THERMAVA_CHANGELOG_GZ})
  install(FILES ${THERMAVA_CHANGELOG_GZ} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/thermava)
endif()
