# SPDX-License-Identifier: MIT
# Two Debian packages from the project's own install rules: `cpack -G DEB` in a build folder
# makes r8v5mc-tools_<version>_<arch>.deb (r8v5mc-copy, r8v5mc-ctl, r8v5mc-sim: no Qt) and
# r8v5mc_<version>_<arch>.deb (the window), which depends on the tools of the same version.
# The libraries the programs link come from dpkg-shlibdeps; what the window loads at run time
# is listed by hand: the window system plugins of Qt and a font with the Japanese characters
# of the message texts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME r8v5mc)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "r8v5mc developers <r8v5mc-devel@lists.example.org>")
# The package's prefix is the DEB generator's default, under which the install rules' relative
# GNUInstallDirs destinations land as Debian lays them out.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${R8_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE r8v5mc)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(R8_DEB_FULL_VERSION "${PROJECT_VERSION}-${R8_DEB_RELEASE}")

# The first line of a description is its summary; the others (each within 80 columns) say
# what the package holds.
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME r8v5mc-tools)
set(CPACK_DEBIAN_TOOLS_DESCRIPTION
    "service tools for the R8V5MC CCD colour video camera, without a window
r8v5mc-copy copies the camera's whole setting image to a settings file and
back, and compares the two; r8v5mc-ctl lists, reads and sets the camera's
settings by name for scripts and test rigs; r8v5mc-sim is a simulated camera
on a pseudo-terminal or a TCP port for trying them without one.
.
None of them needs a display or the Qt libraries, so a headless production
station installs this package alone.")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME r8v5mc)
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS
    "r8v5mc-tools (= ${R8_DEB_FULL_VERSION}), qt6-qpa-plugins, fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "adjustment and service tool for the R8V5MC CCD colour video camera
r8v5mc finds the camera on a serial port (or behind a serial device server),
shows the settings of each tab in one window and sends every change at once
as a CRC-protected command frame. Service tabs adjust the CCD timing, colour,
defect pixels and lens, and copy the camera's settings to a file and back.")

set(CPACK_COMPONENTS_ALL tools)
if(R8_BUILD_UI)
    list(APPEND CPACK_COMPONENTS_ALL window)
endif()
include(CPack)
