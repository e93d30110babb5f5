# The Debian package, made by `cpack` in a build folder after the build:
# velto-widget_<version>_amd64.deb, its dependencies computed from the binaries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velto-widget)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velto")
set(CPACK_PACKAGE_CONTACT "Velto widget maintainers <maintainers@velto.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Velto timer widget for Linux desktops and status bars")
# The long description only: CPack puts the summary above it as the synopsis.
# Joined into one string, as set() with several strings would make a list,
# whose semicolons CPack would carry into the control file.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Shows the project timer that the Velto companion keeps: the project, a live\n"
  "readout, the day's total and buttons that pause or stop it. It runs on the\n"
  "desktop, in a terminal or in waybar, swaybar and i3bar. velto-timer keeps a\n"
  "timer from the command line and handles velto: links.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The drawing asks fontconfig for these families and falls back without them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-jetbrains-mono, fonts-comfortaa")
set(CPACK_STRIP_FILES ON)
include(CPack)
