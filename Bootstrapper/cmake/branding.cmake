# Branding of the Windows programs, chosen at configure time so that a vendor brands a
# build without changing a source file: the version information every program carries
# and the two icons of Bootstrapper.exe.
#
#   cmake ... -DBOOTSTRAPPER_PRODUCT_NAME="Example Suite" -DBOOTSTRAPPER_COMPANY="Example Ltd" \
#             -DBOOTSTRAPPER_VERSION=4.2.0 -DBOOTSTRAPPER_ICON_LARGE=/path/large.ico ...
#
# Everything is checked here, so that a wrong value fails the configuration with its name
# instead of producing a program with broken resources.

set(BOOTSTRAPPER_PRODUCT_NAME "Bootstrapper" CACHE STRING "ProductName of the programs' version information")
set(BOOTSTRAPPER_COMPANY "Bootstrapper Project" CACHE STRING "CompanyName of the programs' version information")
set(BOOTSTRAPPER_VERSION "" CACHE STRING
  "ProductVersion, the vendor's version: numeric a.b.c or a.b.c.d; empty means the project's version")
set(BOOTSTRAPPER_COPYRIGHT "" CACHE STRING "LegalCopyright; empty means \"Copyright (C) <company>\"")
set(BOOTSTRAPPER_ICON_LARGE "${PROJECT_SOURCE_DIR}/res/application_large.ico" CACHE FILEPATH
  "Icon group 107 of Bootstrapper.exe: an .ico file with one 32x32 image of 16 colours")
set(BOOTSTRAPPER_ICON_SMALL "${PROJECT_SOURCE_DIR}/res/application_small.ico" CACHE FILEPATH
  "Icon group 108 of Bootstrapper.exe: an .ico file with one 16x16 image of 256 colours")

# `version` as the four numbers of a binary version field ("4,2,0,0"), or a configuration
# error naming `variable`.
function(bootstrapper_version_numbers variable version out)
  set(part "(0|[1-9][0-9]?[0-9]?[0-9]?[0-9]?)")
  if(NOT version MATCHES "^${part}\\.${part}\\.${part}(\\.${part})?$")
    message(FATAL_ERROR "${variable} is \"${version}\": it must be a numeric version a.b.c or a.b.c.d "
      "(each part 0 to 65535, without leading zeros)")
  endif()
  set(numbers ${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
  if("${CMAKE_MATCH_5}" STREQUAL "")
    list(APPEND numbers 0)
  else()
    list(APPEND numbers ${CMAKE_MATCH_5})
  endif()
  foreach(number IN LISTS numbers)
    if(number GREATER 65535)
      message(FATAL_ERROR "${variable} is \"${version}\": each part of a version must be 65535 or less")
    endif()
  endforeach()
  string(JOIN "," numbers ${numbers})
  set(${out} "${numbers}" PARENT_SCOPE)
endfunction()

# `text` as the inside of a resource script string: a line break cannot be written there,
# and quotes and backslashes are escaped.
function(bootstrapper_rc_string variable text out)
  if(text MATCHES "[\n\r\t]")
    message(FATAL_ERROR "${variable} must be one line of text without tabs")
  endif()
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\"\"" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The little-endian number of `length` bytes at byte `offset` of a hex dump.
function(bootstrapper_hex_number hex offset length out)
  set(value 0)
  math(EXPR index "${offset} + ${length} - 1")
  foreach(unused RANGE 1 ${length})
    math(EXPR position "${index} * 2")
    string(SUBSTRING "${hex}" ${position} 2 byte)
    math(EXPR value "${value} * 256 + 0x${byte}")
    math(EXPR index "${index} - 1")
  endforeach()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# Fails the configuration unless the file named by `variable` is an icon file holding one
# `size` x `size` bitmap of `bits` bits per pixel, with a directory entry from which
# windres writes the icon group as the program's own icons have it.
function(bootstrapper_check_icon variable size bits)
  set(file "${${variable}}")
  set(problem "")
  if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
    message(FATAL_ERROR "${variable}: \"${file}\" is not a file")
  endif()
  file(SIZE "${file}" file_size)
  file(READ "${file}" directory LIMIT 22 HEX)
  if(file_size LESS 62)
    set(problem "too short for an icon file")
  else()
    bootstrapper_hex_number("${directory}" 0 2 reserved)
    bootstrapper_hex_number("${directory}" 2 2 type)
    bootstrapper_hex_number("${directory}" 4 2 count)
    bootstrapper_hex_number("${directory}" 6 1 width)
    bootstrapper_hex_number("${directory}" 7 1 height)
    bootstrapper_hex_number("${directory}" 8 1 colours)
    bootstrapper_hex_number("${directory}" 12 2 entry_bits)
    bootstrapper_hex_number("${directory}" 14 4 image_size)
    bootstrapper_hex_number("${directory}" 18 4 image_offset)
    # A bitmap of fewer than 8 bits per pixel names its colours; windres takes the colour
    # count for the bit count when the entry names none.
    set(expected_colours 0)
    if(bits LESS 8)
      math(EXPR expected_colours "1 << ${bits}")
    endif()
    if(entry_bits EQUAL 0 AND colours GREATER 0 AND colours EQUAL expected_colours)
      set(entry_bits ${bits})
    endif()
    math(EXPR image_end "${image_offset} + ${image_size}")
    if(NOT reserved EQUAL 0 OR NOT type EQUAL 1)
      set(problem "not an icon file (the header is not that of an .ico)")
    elseif(NOT count EQUAL 1)
      set(problem "it holds ${count} images, where one is needed")
    elseif(NOT width EQUAL size OR NOT height EQUAL size)
      set(problem "its image is ${width}x${height}, where ${size}x${size} is needed")
    elseif(NOT entry_bits EQUAL bits OR NOT colours EQUAL expected_colours)
      set(problem "its directory entry names ${colours} colours and ${entry_bits} bits per pixel, where ${bits} bits are needed")
    elseif(image_size LESS 40 OR image_end GREATER file_size)
      set(problem "its image lies outside the file")
    else()
      file(READ "${file}" header OFFSET ${image_offset} LIMIT 16 HEX)
      bootstrapper_hex_number("${header}" 0 4 header_size)
      bootstrapper_hex_number("${header}" 4 4 header_width)
      bootstrapper_hex_number("${header}" 8 4 header_height)
      bootstrapper_hex_number("${header}" 14 2 header_bits)
      math(EXPR double_size "2 * ${size}")
      if(NOT header_size EQUAL 40)
        set(problem "its image is not a bitmap (PNG images are not supported here)")
      elseif(NOT header_width EQUAL size OR NOT header_height EQUAL double_size OR NOT header_bits EQUAL bits)
        set(problem "its bitmap is ${header_width}x${header_height} with ${header_bits} bits per pixel, where ${size}x${double_size} with ${bits} is needed")
      endif()
    endif()
  endif()
  if(NOT problem STREQUAL "")
    message(FATAL_ERROR "${variable}: \"${file}\" cannot be used: ${problem}. "
      "It must be an .ico file with one ${size}x${size} image of ${bits} bits per pixel.")
  endif()
  # A changed icon file is checked again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
endfunction()

if(BOOTSTRAPPER_VERSION STREQUAL "")
  set(BOOTSTRAPPER_PRODUCT_VERSION "${PROJECT_VERSION}")
else()
  set(BOOTSTRAPPER_PRODUCT_VERSION "${BOOTSTRAPPER_VERSION}")
endif()
bootstrapper_version_numbers(BOOTSTRAPPER_VERSION "${BOOTSTRAPPER_PRODUCT_VERSION}" BOOTSTRAPPER_PRODUCT_VERSION_NUMBERS)
bootstrapper_version_numbers(PROJECT_VERSION "${PROJECT_VERSION}" BOOTSTRAPPER_FILE_VERSION_NUMBERS)
if(BOOTSTRAPPER_COPYRIGHT STREQUAL "")
  set(BOOTSTRAPPER_LEGAL_COPYRIGHT "Copyright (C) ${BOOTSTRAPPER_COMPANY}")
else()
  set(BOOTSTRAPPER_LEGAL_COPYRIGHT "${BOOTSTRAPPER_COPYRIGHT}")
endif()
bootstrapper_rc_string(BOOTSTRAPPER_PRODUCT_NAME "${BOOTSTRAPPER_PRODUCT_NAME}" BOOTSTRAPPER_RC_PRODUCT_NAME)
bootstrapper_rc_string(BOOTSTRAPPER_COMPANY "${BOOTSTRAPPER_COMPANY}" BOOTSTRAPPER_RC_COMPANY)
bootstrapper_rc_string(BOOTSTRAPPER_COPYRIGHT "${BOOTSTRAPPER_LEGAL_COPYRIGHT}" BOOTSTRAPPER_RC_COPYRIGHT)
bootstrapper_check_icon(BOOTSTRAPPER_ICON_LARGE 32 4)
bootstrapper_check_icon(BOOTSTRAPPER_ICON_SMALL 16 8)
bootstrapper_rc_string(BOOTSTRAPPER_ICON_LARGE "${BOOTSTRAPPER_ICON_LARGE}" BOOTSTRAPPER_RC_ICON_LARGE)
bootstrapper_rc_string(BOOTSTRAPPER_ICON_SMALL "${BOOTSTRAPPER_ICON_SMALL}" BOOTSTRAPPER_RC_ICON_SMALL)

# Gives `target` (a program named <target>.exe) its version information: the resource
# script fragment res/version.rc.in, configured into the build folder as version.rc for
# the target's resource script to #include, with the file's own description. The icons'
# fragment icons.rc is beside it for a script that wants them.
function(bootstrapper_add_version_resource target description)
  set(folder "${CMAKE_CURRENT_BINARY_DIR}/generated/${target}")
  bootstrapper_rc_string(description "${description}" BOOTSTRAPPER_RC_FILE_DESCRIPTION)
  set(BOOTSTRAPPER_RC_INTERNAL_NAME "${target}")
  set(BOOTSTRAPPER_RC_ORIGINAL_FILENAME "${target}.exe")
  configure_file("${PROJECT_SOURCE_DIR}/res/version.rc.in" "${folder}/version.rc" @ONLY)
  configure_file("${PROJECT_SOURCE_DIR}/res/icons.rc.in" "${folder}/icons.rc" @ONLY)
  target_include_directories(${target} PRIVATE "${folder}")
  get_target_property(sources ${target} SOURCES)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.rc$")
      set_property(SOURCE "${source}" APPEND PROPERTY OBJECT_DEPENDS
        "${folder}/version.rc" "${folder}/icons.rc" "${BOOTSTRAPPER_ICON_LARGE}" "${BOOTSTRAPPER_ICON_SMALL}")
    endif()
  endforeach()
endfunction()
