# The tools for package authors on Linux, installed and packaged: `cmake --install` puts
# them in <prefix>/bin, and cpack (scripts/release.sh) makes a Debian package of them. The
# package's dependencies (libmsi, glib, the C and C++ runtime libraries) are read from the
# programs themselves by dpkg-shlibdeps, so they name the libraries the build really links.
#
# Included last in the host build: it installs every tool defined before it, also those
# that only some builds define.

include(GNUInstallDirs)

set(BOOTSTRAPPER_LINUX_TOOLS bootstrapper-check)
if(TARGET bootstrapper-transform)
  list(APPEND BOOTSTRAPPER_LINUX_TOOLS bootstrapper-transform)
endif()
install(TARGETS ${BOOTSTRAPPER_LINUX_TOOLS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# What the package is made of, without the tests: `cmake --build ... --target linux-tools`.
add_custom_target(linux-tools)
add_dependencies(linux-tools ${BOOTSTRAPPER_LINUX_TOOLS})

set(BOOTSTRAPPER_VERSION "" CACHE STRING
  "Version of the release: numeric a.b.c or a.b.c.d; empty means the project's version")
set(BOOTSTRAPPER_PACKAGE_CONTACT "Bootstrapper Project" CACHE STRING
  "Maintainer of the Debian package of the Linux tools (\"Name <address>\")")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME bootstrapper-tools)
if(BOOTSTRAPPER_VERSION)
  set(CPACK_PACKAGE_VERSION "${BOOTSTRAPPER_VERSION}")
else()
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
endif()
set(CPACK_PACKAGE_CONTACT "${BOOTSTRAPPER_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tools for package authors of Bootstrapper.exe setups")
set(CPACK_PACKAGE_DESCRIPTION
  "bootstrapper-check reads a Windows setup folder (Setup.ini, the .msi package and its "
  "language transforms) the way Bootstrapper.exe will, and reports the mistakes in it and "
  "what the setup will do there, as text, JSON, SARIF or GitHub workflow commands.")
if(TARGET bootstrapper-transform)
  list(APPEND CPACK_PACKAGE_DESCRIPTION
    " bootstrapper-transform makes the language transform (.mst) that turns one package into another.")
endif()
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(PROJECT_HOMEPAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
