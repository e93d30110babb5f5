# Where `cmake --install` and the Debian package put each file. People run what is
# in bin/; the extension goes to libexec/velto/, where the host looks for it when
# it is not beside the host (as it is in the build tree).
include(GNUInstallDirs)

set(VELTO_EXTENSION_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/velto)

install(TARGETS velto-widget-host velto-defaults RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET velto-timer)
  install(TARGETS velto-timer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS velto-widget-extension RUNTIME DESTINATION ${VELTO_EXTENSION_INSTALL_DIR})

install(FILES
  ${PROJECT_SOURCE_DIR}/packaging/velto-widget-host.desktop
  ${PROJECT_SOURCE_DIR}/packaging/velto-timer.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# systemd looks for user units under <prefix>/lib/systemd/user, whatever libdir is.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velto-widget.service DESTINATION lib/systemd/user)

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
