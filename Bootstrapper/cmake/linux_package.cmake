# The tools for package authors on Linux, installed and packaged: `cmake --install` puts
# them in <prefix>/bin, each with its manual page (made from the tool's own --help and
# --version by help2man, so the two cannot differ) and its bash completion, beside the JSON
# Schema of the checker's report; cpack (scripts/release.sh) makes a Debian package of
# them. The package's dependencies (libmsi, glib, the C and C++ runtime libraries) are read
# from the programs themselves by dpkg-shlibdeps, so they name the libraries the build
# really links.
#
# Included last in the host build. Each tool is one line below: bootstrapper_linux_tool(NAME
# "what it does") for a program this build makes, which it also installs; with RUN COMMAND
# for one installed by other means (a script), COMMAND running it in the build tree.

include(GNUInstallDirs)

set(BOOTSTRAPPER_PACKAGE_NAME bootstrapper-tools)
set(BOOTSTRAPPER_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")
set(BOOTSTRAPPER_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/${BOOTSTRAPPER_PACKAGE_NAME}")

# What the package is made of, without the unit tests and the test programs:
# `cmake --build ... --target linux-tools`.
add_custom_target(linux-tools)

find_program(BOOTSTRAPPER_HELP2MAN help2man)
find_program(BOOTSTRAPPER_GZIP gzip)
# The pages are tidied where help2man reads a help otherwise than a reader (man_page.py).
find_program(BOOTSTRAPPER_PYTHON python3)
if(NOT BOOTSTRAPPER_HELP2MAN OR NOT BOOTSTRAPPER_GZIP OR NOT BOOTSTRAPPER_PYTHON)
  message(WARNING "help2man, gzip or python3 is missing (scripts/setup.sh installs them): the tools get no manual pages")
endif()

function(bootstrapper_linux_tool name description)
  cmake_parse_arguments(PARSE_ARGV 2 TOOL "" "" "RUN")
  if(TOOL_RUN)
    # help2man hands its command to the shell; the page is made again when a file of it
    # (the script) changes.
    list(JOIN TOOL_RUN " " run)
    set(depends "")
    foreach(part IN LISTS TOOL_RUN)
      if(IS_ABSOLUTE "${part}" AND EXISTS "${part}")
        list(APPEND depends "${part}")
      endif()
    endforeach()
  else()
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(CMAKE_OBJCOPY)
      # As dh_strip does: the compilers' notes (.comment) are of no use in an installed tool.
      install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\" COMMAND_ERROR_IS_FATAL ANY)")
    endif()
    add_dependencies(linux-tools ${name})
    set(run "$<TARGET_FILE:${name}>")
    set(depends ${name})
  endif()
  set_property(GLOBAL APPEND PROPERTY BOOTSTRAPPER_LINUX_TOOLS ${name})

  if(BOOTSTRAPPER_HELP2MAN AND BOOTSTRAPPER_GZIP AND BOOTSTRAPPER_PYTHON)
    # Dated by SOURCE_DATE_EPOCH when it is set (help2man reads it), and compressed without
    # a name or time in the gzip header: the same sources give the same bytes.
    set(page "${CMAKE_BINARY_DIR}/man/${name}.1")
    add_custom_command(OUTPUT "${page}.gz"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${CMAKE_BINARY_DIR}/man"
      COMMAND "${BOOTSTRAPPER_HELP2MAN}" --no-info --section=1 "--name=${description}"
        "--output=${page}" "${run}"
      COMMAND "${BOOTSTRAPPER_PYTHON}" "${BOOTSTRAPPER_PACKAGING_DIR}/man_page.py" "${page}"
      COMMAND "${BOOTSTRAPPER_GZIP}" -9nf "${page}"
      DEPENDS ${depends} "${BOOTSTRAPPER_PACKAGING_DIR}/man_page.py"
      COMMENT "Manual page of ${name} from its --help"
      VERBATIM)
    add_custom_target(${name}-man ALL DEPENDS "${page}.gz")
    add_dependencies(linux-tools ${name}-man)
    install(FILES "${page}.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  endif()

  # bash loads a command's completion from the file of its name.
  set(BOOTSTRAPPER_TOOL "${name}")
  configure_file("${BOOTSTRAPPER_PACKAGING_DIR}/bash-completion.in" "${CMAKE_BINARY_DIR}/bash-completion/${name}" @ONLY)
  install(FILES "${CMAKE_BINARY_DIR}/bash-completion/${name}"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
endfunction()

bootstrapper_linux_tool(bootstrapper-check "check a package folder of Bootstrapper.exe")
if(TARGET bootstrapper-transform)
  bootstrapper_linux_tool(bootstrapper-transform "make a Windows Installer transform from two packages")
endif()

# bootstrapper-pack and bootstrapper-try, in Python: the commands in <prefix>/bin, what they
# run on in <prefix>/share/bootstrapper-tools (their shared module with the version written
# in, the Wine module the end-to-end tests use too, the project's signing and zip scripts),
# and the Windows programs, from BOOTSTRAPPER_WINDOWS_PROGRAMS or this build's windows/:
# Bootstrapper.exe (pack's default), BootstrapperCheck.exe (the checker for authors on
# Windows), launcher.exe (a program's full exit code under
# Wine), product_info.exe (what Windows Installer registered), window_controls.exe (a wizard
# page's controls, and its buttons pressed) and package_tables.exe (the package's dialog tables).
set(BOOTSTRAPPER_TOOLS_SHARE ${CMAKE_INSTALL_DATADIR}/bootstrapper-tools)
configure_file(tools/tool_support.py ${CMAKE_BINARY_DIR}/tools/tool_support.py @ONLY)
install(PROGRAMS tools/bootstrapper-pack tools/bootstrapper-try DESTINATION ${CMAKE_INSTALL_BINDIR})
# Every module of the tools' folder, so that a new one is never left out of the package.
file(GLOB BOOTSTRAPPER_TOOL_MODULES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/*.py)
list(FILTER BOOTSTRAPPER_TOOL_MODULES EXCLUDE REGEX "/tool_support\\.py$")
install(FILES ${CMAKE_BINARY_DIR}/tools/tool_support.py ${BOOTSTRAPPER_TOOL_MODULES}
  scripts/reproducible_zip.py
  DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE})
install(PROGRAMS scripts/sign.sh DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE})
# sign.sh answers --help (and finds its way) through the preamble every script sources.
install(FILES scripts/preamble.sh DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE})
set(BOOTSTRAPPER_WINDOWS_PROGRAMS "" CACHE PATH
  "Windows build whose Bootstrapper.exe, BootstrapperCheck.exe, launcher.exe, product_info.exe, window_controls.exe, package_tables.exe and DemoRuntime.exe are installed with the tools (default: windows/ of this build, which the target author-tools fills)")
set(BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR "${BOOTSTRAPPER_WINDOWS_PROGRAMS}")
if(NOT BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR)
  set(BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR "${CMAKE_BINARY_DIR}/windows")
endif()
# pack and try cannot work without them (nor a Windows author without the checker): an
# install (and so the Debian package) without them fails, saying where they come from.
install(CODE "foreach(program Bootstrapper.exe BootstrapperCheck.exe launcher.exe product_info.exe window_controls.exe package_tables.exe DemoRuntime.exe)
  if(NOT EXISTS \"${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/\${program}\")
    message(FATAL_ERROR \"\${program} is missing in ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}: the tools install it. Build the target author-tools, or set BOOTSTRAPPER_WINDOWS_PROGRAMS to a Windows build (scripts/build-windows.sh)\")
  endif()
endforeach()")
install(FILES ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/Bootstrapper.exe ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/BootstrapperCheck.exe
  ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/launcher.exe
  ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/product_info.exe ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/window_controls.exe
  ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/package_tables.exe DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE}/windows)
install(FILES ${BOOTSTRAPPER_WINDOWS_PROGRAMS_DIR}/DemoRuntime.exe DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE}/demo)
# The demo product's source and Setup.ini, for a first pack and try (docs/pack-and-try.md).
install(FILES demo/DemoProduct.wxs demo/Setup.ini demo/readme.txt DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE}/demo)
# An author's pack.ini, Setup.ini and CI job to start from (docs/quick-start.md).
install(FILES examples/pack.ini examples/Setup.ini examples/release-workflow.yml
  DESTINATION ${BOOTSTRAPPER_TOOLS_SHARE}/examples)
bootstrapper_linux_tool(bootstrapper-pack "make a checked, signed release folder of a Bootstrapper.exe setup"
  RUN python3 "${PROJECT_SOURCE_DIR}/tools/bootstrapper-pack")
bootstrapper_linux_tool(bootstrapper-try "install a Bootstrapper.exe setup folder under Wine and report what happened"
  RUN python3 "${PROJECT_SOURCE_DIR}/tools/bootstrapper-try")

install(FILES "${BOOTSTRAPPER_PACKAGING_DIR}/check-report.schema.json" "${BOOTSTRAPPER_PACKAGING_DIR}/try-report.schema.json"
  DESTINATION "${CMAKE_INSTALL_DATADIR}/${BOOTSTRAPPER_PACKAGE_NAME}")

set(BOOTSTRAPPER_VERSION "" CACHE STRING
  "Version of the release: numeric a.b.c or a.b.c.d; empty means the project's version")
set(BOOTSTRAPPER_PACKAGE_MAINTAINER "Bootstrapper Project" CACHE STRING
  "Name of the maintainer of the Debian package of the Linux tools")
set(BOOTSTRAPPER_PACKAGE_MAINTAINER_EMAIL "bootstrapper@example.org" CACHE STRING
  "E-mail address of the maintainer of the Debian package of the Linux tools")
# Debian's control file and changelog take "Name <address>": no angle bracket or comma in
# the name, one "@" in an address without blanks.
if(BOOTSTRAPPER_PACKAGE_MAINTAINER STREQUAL "" OR BOOTSTRAPPER_PACKAGE_MAINTAINER MATCHES "[<>,\n]")
  message(FATAL_ERROR "BOOTSTRAPPER_PACKAGE_MAINTAINER must be a name without <, > or commas")
endif()
if(NOT BOOTSTRAPPER_PACKAGE_MAINTAINER_EMAIL MATCHES "^[^@<> \t\n,]+@[^@<> \t\n,]+\\.[^@<> \t\n,]+$")
  message(FATAL_ERROR "BOOTSTRAPPER_PACKAGE_MAINTAINER_EMAIL must be an address like name@example.org")
endif()
set(BOOTSTRAPPER_PACKAGE_CONTACT "${BOOTSTRAPPER_PACKAGE_MAINTAINER} <${BOOTSTRAPPER_PACKAGE_MAINTAINER_EMAIL}>")

if(BOOTSTRAPPER_VERSION)
  set(CPACK_PACKAGE_VERSION "${BOOTSTRAPPER_VERSION}")
else()
  set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
endif()

# The package's copyright file and changelog (Debian wants both in its documentation
# folder). The changelog's one entry is dated SOURCE_DATE_EPOCH when it is set (CMake's
# TIMESTAMP reads it), and compressed without a name or time in its header.
set(BOOTSTRAPPER_PACKAGE_LICENSE_FILE "${BOOTSTRAPPER_PACKAGING_DIR}/license" CACHE FILEPATH
  "The license of the Linux tools in the Debian copyright file's form: the short name, then the text indented")
file(READ "${BOOTSTRAPPER_PACKAGE_LICENSE_FILE}" BOOTSTRAPPER_PACKAGE_LICENSE)
string(STRIP "${BOOTSTRAPPER_PACKAGE_LICENSE}" BOOTSTRAPPER_PACKAGE_LICENSE)
string(TIMESTAMP BOOTSTRAPPER_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP BOOTSTRAPPER_PACKAGE_YEAR "%Y" UTC)
configure_file("${BOOTSTRAPPER_PACKAGING_DIR}/copyright.in" "${CMAKE_BINARY_DIR}/debian/copyright" @ONLY)
configure_file("${BOOTSTRAPPER_PACKAGING_DIR}/changelog.in" "${CMAKE_BINARY_DIR}/debian/changelog" @ONLY)
if(BOOTSTRAPPER_GZIP)
  execute_process(COMMAND "${BOOTSTRAPPER_GZIP}" -9n -c "${CMAKE_BINARY_DIR}/debian/changelog"
    OUTPUT_FILE "${CMAKE_BINARY_DIR}/debian/changelog.gz" COMMAND_ERROR_IS_FATAL ANY)
  install(FILES "${CMAKE_BINARY_DIR}/debian/changelog.gz" DESTINATION "${BOOTSTRAPPER_DOC_DIR}")
endif()
install(FILES "${CMAKE_BINARY_DIR}/debian/copyright" DESTINATION "${BOOTSTRAPPER_DOC_DIR}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${BOOTSTRAPPER_PACKAGE_NAME})
set(CPACK_PACKAGE_CONTACT "${BOOTSTRAPPER_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tools for package authors of Bootstrapper.exe setups")
# Lines of at most 80 characters, as Debian's control file wants them; an empty line
# between paragraphs (" ." in the control file), so that no two run together. No ";" in
# a text: CMake's lists split at it, and the JOIN below would drop it.
set(CPACK_PACKAGE_DESCRIPTION
  "bootstrapper-check reads a Windows setup folder (Setup.ini, the .msi package\n"
  "and its language transforms) the way Bootstrapper.exe will, and reports the\n"
  "mistakes in it and what the setup will do there, as text, JSON, SARIF or\n"
  "GitHub workflow commands.")
if(TARGET bootstrapper-transform)
  list(APPEND CPACK_PACKAGE_DESCRIPTION
    "\n\nbootstrapper-transform makes the language transform (.mst) that turns one\n"
    "package into another.")
endif()
list(APPEND CPACK_PACKAGE_DESCRIPTION
  "\n\nbootstrapper-pack makes a signed, checked release folder and its reproducible\n"
  "zip from the author's builds.\n\nbootstrapper-try installs a package folder under\n"
  "Wine and reports what happened.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
# Beside the libraries dpkg-shlibdeps finds: pack runs on Python and reads packages with
# msitools; signing needs osslsigncode, and try Wine (wine32 for its 32-bit programs), a virtual display
# xdotool and imagemagick (its pictures tell a wizard's progress page from one that stays),
# which a user of pack alone does without.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, msitools")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "osslsigncode, wine, xvfb, xdotool, imagemagick")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(PROJECT_HOMEPAGE_URL)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
