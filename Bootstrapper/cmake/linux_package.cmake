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

# bootstrapper-pack and bootstrapper-try, in Python: the commands in <prefix>/bin, what they
# run on in <prefix>/share/bootstrapper-tools (their shared module with the version written
# in, the Wine module the end-to-end tests use too, the project's signing and zip scripts),
# and, when BOOTSTRAPPER_WINDOWS_PROGRAMS names a Windows build, the Windows programs they
# need: Bootstrapper.exe (pack's default), launcher.exe (a program's full exit code under
# Wine) and product_info.exe (what Windows Installer registered).
set(BOOTSTRAPPER_TOOLS_SHARE ${CMAKE_INSTALL_DATADIR}/bootstrapper-tools)
configure_file(tools/tool_support.py ${CMAKE_BINARY_DIR}/tools/tool_support.py @ONLY)
install(PROGRAMS tools/bootstrapper-pack tools/bootstrapper-try DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/tools/tool_support.py tools/wine_session.py scripts/reproducible_zip.py
  DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE})
install(PROGRAMS scripts/sign.sh DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE})
set(BOOTSTRAPPER_WINDOWS_PROGRAMS "" CACHE PATH
  "Windows build whose Bootstrapper.exe, launcher.exe and product_info.exe are installed with the tools")
if(BOOTSTRAPPER_WINDOWS_PROGRAMS)
  install(FILES ${BOOTSTRAPPER_WINDOWS_PROGRAMS}/Bootstrapper.exe ${BOOTSTRAPPER_WINDOWS_PROGRAMS}/launcher.exe
    ${BOOTSTRAPPER_WINDOWS_PROGRAMS}/product_info.exe DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE}/windows)
  install(FILES ${BOOTSTRAPPER_WINDOWS_PROGRAMS}/DemoRuntime.exe DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE}/demo)
endif()
# The demo product's source and Setup.ini, for a first pack and try (README).
install(FILES demo/DemoProduct.wxs demo/Setup.ini demo/readme.txt DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE}/demo)
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
list(APPEND CPACK_PACKAGE_DESCRIPTION
  " bootstrapper-pack makes a signed, checked release folder and its reproducible zip from the"
  " author's builds; bootstrapper-try installs a package folder under Wine and reports what happened.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
# Beside the libraries dpkg-shlibdeps finds: pack runs on Python and reads packages with
# msitools; signing needs osslsigncode, and try Wine (wine32 for its 32-bit programs), a virtual display
# and xdotool, which a user of pack alone does without; screenshots need imagemagick.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, msitools")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "osslsigncode, wine, xvfb, xdotool")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "imagemagick")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(PROJECT_HOMEPAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
