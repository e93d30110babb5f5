# Where `cmake --install` and the Debian package put each file. People run what is
# in bin/; the extension goes to libexec/velto/, where the host looks for it when
# it is not beside the host (as it is in the build tree).
include(GNUInstallDirs)

set(VELTO_EXTENSION_INSTALL_DIR ${CMAKE_INSTALL_LIBEXECDIR}/velto)

# velto_install_program(<target> <destination>)
# Installs a program; a stripped install (cpack, cmake --install --strip) also
# drops the compiler's .comment and .note sections, as Debian's dh_strip does.
function(velto_install_program target destination)
  install(TARGETS ${target} RUNTIME DESTINATION ${destination})
  if(NOT CMAKE_STRIP)
    return()
  endif()
  set(installed "\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/$<TARGET_FILE_NAME:${target}>")
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(
        COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note \"${installed}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endfunction()

velto_install_program(velto-widget-host ${CMAKE_INSTALL_BINDIR})
velto_install_program(velto-defaults ${CMAKE_INSTALL_BINDIR})
if(TARGET velto-timer)
  velto_install_program(velto-timer ${CMAKE_INSTALL_BINDIR})
endif()
velto_install_program(velto-widget-extension ${VELTO_EXTENSION_INSTALL_DIR})
# The host hands the commands that draw with Cairo or GTK to these, beside the extension.
velto_install_program(velto-widget-render ${VELTO_EXTENSION_INSTALL_DIR})
velto_install_program(velto-widget-desktop ${VELTO_EXTENSION_INSTALL_DIR})

install(FILES
  ${PROJECT_SOURCE_DIR}/packaging/velto-widget-host.desktop
  ${PROJECT_SOURCE_DIR}/packaging/velto-timer.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# systemd looks for user units under <prefix>/lib/systemd/user, whatever libdir is.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/velto-widget.service DESTINATION lib/systemd/user)

# The licence goes in once, as the machine-readable copyright file made from
# LICENSE, and the changelog compressed as for a native Debian package (gzip -9n:
# the same text always gives the same bytes).
function(velto_install_package_docs)
  set(license_file ${PROJECT_SOURCE_DIR}/LICENSE)
  set(changelog_source ${PROJECT_SOURCE_DIR}/packaging/changelog)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license_file} ${changelog_source})

  file(READ ${license_file} license)
  if(NOT license MATCHES "^[^\n]*\n\nCopyright \\(c\\) ([^\n]+)\n\n(.*[^\n])\n*$")
    message(FATAL_ERROR "LICENSE should hold the licence's name, a Copyright (c) line and its text")
  endif()
  set(VELTO_COPYRIGHT_HOLDERS ${CMAKE_MATCH_1})
  # A copyright file's field continues on lines that begin with a space; "." is a blank one.
  string(REPLACE "\n\n" "\n.\n" VELTO_LICENSE_TEXT "${CMAKE_MATCH_2}")
  string(REPLACE "\n" "\n " VELTO_LICENSE_TEXT " ${VELTO_LICENSE_TEXT}")
  set(copyright ${PROJECT_BINARY_DIR}/packaging/copyright)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in ${copyright} @ONLY)

  file(STRINGS ${changelog_source} newest_entry LIMIT_COUNT 1)
  string(REPLACE "." "\\." version_pattern ${PROJECT_VERSION})
  if(NOT newest_entry MATCHES "^${PROJECT_NAME} \\(${version_pattern}\\) ")
    message(FATAL_ERROR "packaging/changelog should begin with an entry for "
                        "${PROJECT_NAME} ${PROJECT_VERSION}, not '${newest_entry}'")
  endif()
  set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
  find_program(GZIP gzip REQUIRED)
  add_custom_command(
    OUTPUT ${changelog}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${changelog_source} ${changelog}
    COMMAND ${GZIP} -9nf ${changelog}
    DEPENDS ${changelog_source}
    COMMENT "Compressing the changelog"
    VERBATIM)
  add_custom_target(velto-changelog ALL DEPENDS ${changelog}.gz)

  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${copyright} ${changelog}.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endfunction()
velto_install_package_docs()
