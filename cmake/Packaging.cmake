# A Debian package from the project's own install rules: `cpack -G DEB` in a build folder makes
# r8v5mc_<version>_<arch>.deb. The libraries the programs link come from dpkg-shlibdeps; what
# they load at run time is listed by hand: the window system plugins of Qt and a font with the
# Japanese characters of the message texts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME r8v5mc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "R8V5MC tool maintainers <r8v5mc@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Adjustment and service tool for the R8V5MC CCD colour video camera")
set(CPACK_PACKAGE_DESCRIPTION
    "r8v5mc finds the camera on a serial port, shows its settings in one window and sends each
change at once. r8v5mc-copy copies the camera's settings to a file and back from the command
line; r8v5mc-sim is a simulated camera on a pseudo-terminal for trying the tool without one.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk")
include(CPack)
