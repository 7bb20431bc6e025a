# CPack: a Debian package from the release build, a zip from the Windows cross-build.
#
# Each package installs a component of its own, marked EXCLUDE_FROM_ALL so that a plain
# `cmake --install build --prefix DIR` keeps its layout (DIR/bin, DIR/share/man/man6) and never
# sees them. CPack installs only that component (CPACK_INSTALL_CMAKE_PROJECTS), so the .deb
# gets the game in /usr/games, the page gzipped, the desktop entry, the icons and the files
# Debian wants in /usr/share/doc, and the zip gets one folder holding the .exe, README.txt,
# MANUAL.txt and LICENSE.txt.
#
# The same commit gives the same packages, byte for byte: every time in them is the commit's
# (SOURCE_DATE_EPOCH, which cpack is given as the build was), compressed without names or times;
# scripts/make-packages runs cpack under a fixed umask, which modes would otherwise follow, and
# cpack refuses any other.

set(CPACK_PACKAGE_NAME quarvel-zib)
set(CPACK_PACKAGE_VENDOR "The QUARVEL ZIB authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "noughts and crosses on a grid of 3x3 up to 9x9 in a text terminal")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# cpack dates its files as the build did, unless it is told otherwise. The .deb's own members
# (its ar headers) take their modes from the umask cpack runs under, so cpack run by hand under
# any other than 022 stops and says how packages are made instead.
set(time $ENV{SOURCE_DATE_EPOCH})
file(CONFIGURE OUTPUT CPackProject.cmake CONTENT [[
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ENV{SOURCE_DATE_EPOCH} @time@)
endif()
execute_process(COMMAND sh -c umask OUTPUT_VARIABLE mask OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT mask MATCHES "^0*22$")
  message(FATAL_ERROR "cpack under umask ${mask} would write it into the package: "
                      "make the packages with scripts/make-packages, which packs under 022.")
endif()
]] @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackProject.cmake)

if(WIN32)
  set(package_component zip)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  # Everything in one folder, so that unpacking it spills nothing.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(folder ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION})
  # Windows players get a README of their own, the man page as text, written for Windows, and
  # the licence, all with CR LF line ends for Notepad.
  configure_file(packaging/README.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  find_program(GROFF groff REQUIRED)
  set(manual ${PROJECT_BINARY_DIR}/MANUAL.txt)
  add_custom_command(
    OUTPUT ${manual}
    COMMAND ${CMAKE_COMMAND} -D GROFF=${GROFF} -D PAGE=${PROJECT_BINARY_DIR}/quarvel-zib.6
            -D TEXT=${manual} -P ${PROJECT_SOURCE_DIR}/cmake/render-manual.cmake
    DEPENDS ${PROJECT_BINARY_DIR}/quarvel-zib.6 ${PROJECT_SOURCE_DIR}/cmake/render-manual.cmake
    COMMENT "Rendering the man page as MANUAL.txt")
  add_custom_target(manual ALL DEPENDS ${manual})
  install(TARGETS quarvel-zib RUNTIME DESTINATION ${folder} COMPONENT zip EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt ${manual} ${PROJECT_BINARY_DIR}/LICENSE.txt
          DESTINATION ${folder} COMPONENT zip EXCLUDE_FROM_ALL)
else()
  set(package_component deb)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(maintainer "The QUARVEL ZIB authors <authors@quarvel-zib.example>")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${maintainer})
  set(CPACK_PACKAGE_DESCRIPTION
      "You play X against the computer, or two people share one keyboard and play X
and O in turn, on a square grid of side 3 to 9 in a terminal of 80x22.

A mark wins only by filling a whole row, a whole column or one of the two
diagonals: seven in a line on a 7x7 grid. Moves are typed as a column and a
row number, which every free cell shows.")

  # Debian's man pages and changelogs are gzipped without a name or timestamp (-n), so the
  # same sources give the same package.
  set(doc ${PROJECT_BINARY_DIR}/debian)
  file(MAKE_DIRECTORY ${doc})
  execute_process(COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/quarvel-zib.6
                  OUTPUT_FILE ${doc}/quarvel-zib.6.gz COMMAND_ERROR_IS_FATAL ANY)
  # The copyright file, in Debian's machine-readable format, takes the holder and the terms from
  # LICENSE: configure again when it changes. The terms are indented, blank lines written " .".
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" holder "${licence}")
  set(holder ${CMAKE_MATCH_1})
  string(REGEX REPLACE "^.*\n(Permission )" "\\1" terms "${licence}")
  string(STRIP "${terms}" terms)
  string(REPLACE "\n\n" "\n.\n" terms "${terms}")
  string(REPLACE "\n" "\n " terms "${terms}")
  if(NOT holder OR NOT terms MATCHES "^Permission ")
    message(FATAL_ERROR "LICENSE no longer reads as the MIT licence: mend the copyright file")
  endif()
  file(WRITE ${doc}/copyright
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: quarvel-zib\nUpstream-Contact: ${maintainer}\n\n"
       "Files: *\nCopyright: ${holder}\nLicense: Expat\n\nLicense: Expat\n ${terms}\n")
  # SOURCE_DATE_EPOCH, when set, fixes the date.
  string(TIMESTAMP released "%a, %d %b %Y %H:%M:%S +0000" UTC)
  file(WRITE ${doc}/changelog.Debian
       "quarvel-zib (${PROJECT_VERSION}-1) unstable; urgency=medium\n\n"
       "  * Release ${PROJECT_VERSION}, packaged by CPack from the release build.\n\n"
       " -- ${maintainer}  ${released}\n")
  execute_process(COMMAND gzip -9nf ${doc}/changelog.Debian COMMAND_ERROR_IS_FATAL ANY)

  install(TARGETS quarvel-zib RUNTIME DESTINATION games COMPONENT deb EXCLUDE_FROM_ALL)
  # As Debian's own packages are stripped: without the compilers' .comment, which the strip
  # above leaves.
  install(CODE "execute_process(COMMAND ${CMAKE_OBJCOPY} --remove-section=.comment
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/games/quarvel-zib\"
                  COMMAND_ERROR_IS_FATAL ANY)"
          COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES packaging/quarvel-zib.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications
          COMPONENT deb EXCLUDE_FROM_ALL)
  install(FILES packaging/quarvel-zib.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps COMPONENT deb
          EXCLUDE_FROM_ALL)
  # Bitmaps too, for the desktops that want them at small sizes: 16 and 32 px drawn for them.
  foreach(size 16 32 48 256)
    install(FILES packaging/icons/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps
            RENAME quarvel-zib.png COMPONENT deb EXCLUDE_FROM_ALL)
  endforeach()
  install(FILES ${doc}/quarvel-zib.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT deb
          EXCLUDE_FROM_ALL)
  install(FILES ${doc}/copyright ${doc}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/quarvel-zib COMPONENT deb EXCLUDE_FROM_ALL)
endif()

set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};quarvel-zib;${package_component};/")
include(CPack)
