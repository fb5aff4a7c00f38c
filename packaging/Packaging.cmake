# What goes beside the three programs when they are installed (desktop entry, icon, AppStream
# data, manual pages, copyright, changelog, the udev example) and how cpack makes the .deb of it
# (scripts/package). Every path comes from GNUInstallDirs.

set(VANTREL_APP_ID io.github.vantrel.vantrel)
set(VANTREL_HOMEPAGE "https://github.com/vantrel/vantrel" CACHE STRING "The project's home page")
set(VANTREL_PACKAGE_MAINTAINER "The Vantrel authors <vantrel@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the .deb")
set(VANTREL_SCREENSHOT_URL
    "https://raw.githubusercontent.com/vantrel/vantrel/main/docs/screenshots/monitoring-xvfb.png")

# The release's version and date come from the first entry of the changelog; its version must be
# the project's, so the package, the programs and the AppStream release never disagree.
set(VANTREL_CHANGELOG ${CMAKE_CURRENT_LIST_DIR}/changelog)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${VANTREL_CHANGELOG})
file(STRINGS ${VANTREL_CHANGELOG} VANTREL_CHANGELOG_TOP LIMIT_COUNT 1)
file(STRINGS ${VANTREL_CHANGELOG} VANTREL_CHANGELOG_TRAILERS REGEX "^ -- ")
list(GET VANTREL_CHANGELOG_TRAILERS 0 VANTREL_CHANGELOG_TRAILER)
if(NOT VANTREL_CHANGELOG_TOP MATCHES "^vantrel \\(([^)]+)\\)"
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/changelog starts with \"${VANTREL_CHANGELOG_TOP}\"; its first "
                      "entry must be the project's version ${PROJECT_VERSION}")
endif()
if(NOT VANTREL_CHANGELOG_TRAILER MATCHES ", ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "packaging/changelog: no date in \"${VANTREL_CHANGELOG_TRAILER}\"")
endif()
set(VANTREL_DAY ${CMAKE_MATCH_1})
set(VANTREL_YEAR ${CMAKE_MATCH_3})
set(VANTREL_MONTHS Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND VANTREL_MONTHS ${CMAKE_MATCH_2} VANTREL_MONTH)
math(EXPR VANTREL_MONTH "${VANTREL_MONTH} + 1")
string(REGEX REPLACE "^([0-9])$" "0\\1" VANTREL_MONTH ${VANTREL_MONTH})
string(REGEX REPLACE "^([0-9])$" "0\\1" VANTREL_DAY ${VANTREL_DAY})
set(VANTREL_RELEASE_DATE ${VANTREL_YEAR}-${VANTREL_MONTH}-${VANTREL_DAY})

configure_file(${PROJECT_SOURCE_DIR}/resources/${VANTREL_APP_ID}.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/${VANTREL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${VANTREL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/vantrel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${VANTREL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Debian wants the changelog and the manual pages compressed with gzip -9n (no name, no time).
find_program(VANTREL_GZIP gzip REQUIRED)
set(VANTREL_PACKAGING_OUT ${CMAKE_CURRENT_BINARY_DIR}/packaging)
add_custom_command(
  OUTPUT ${VANTREL_PACKAGING_OUT}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTREL_PACKAGING_OUT}
  COMMAND ${VANTREL_GZIP} -9n -c ${VANTREL_CHANGELOG} > ${VANTREL_PACKAGING_OUT}/changelog.gz
  DEPENDS ${VANTREL_CHANGELOG}
  VERBATIM)
set(VANTREL_PACKAGING_FILES ${VANTREL_PACKAGING_OUT}/changelog.gz)

# Manual pages are made from each program's --help with help2man (and the extra sections in
# resources/man/), so they cannot drift from the options the programs take.
find_program(VANTREL_HELP2MAN help2man)
if(VANTREL_HELP2MAN)
  set(VANTREL_MAN_DEFAULT ON)
else()
  set(VANTREL_MAN_DEFAULT OFF)
endif()
option(VANTREL_MAN_PAGES "Make and install the manual pages (needs help2man)" ${VANTREL_MAN_DEFAULT})
if(VANTREL_MAN_PAGES)
  if(NOT VANTREL_HELP2MAN)
    message(FATAL_ERROR "VANTREL_MAN_PAGES needs help2man (apt-get install help2man)")
  endif()
  foreach(program vantrel vantrel-log vantrel-modem-sim)
    set(include ${PROJECT_SOURCE_DIR}/resources/man/${program}.h2m)
    set(page ${VANTREL_PACKAGING_OUT}/${program}.1)
    add_custom_command(
      OUTPUT ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTREL_PACKAGING_OUT}
      # The window's program answers --help before it needs a display; offscreen all the same.
      COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
              ${VANTREL_HELP2MAN} --no-info --section=1 --include=${include}
              --version-string=${PROJECT_VERSION} --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${VANTREL_GZIP} -9nf ${page}
      DEPENDS ${program} ${include}
      VERBATIM)
    list(APPEND VANTREL_PACKAGING_FILES ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
endif()
add_custom_target(vantrel_packaging_files ALL DEPENDS ${VANTREL_PACKAGING_FILES})

install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${VANTREL_PACKAGING_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
# An example only: a user who wants ModemManager off a modem for good copies it to
# /etc/udev/rules.d with the modem's ids.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/77-vantrel-modem.rules
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# cpack -G DEB: vantrel_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel authors")
set(CPACK_PACKAGE_CONTACT ${VANTREL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor for the cells around a GSM modem")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel watches the radio environment of a GSM modem on a serial port.
It prepares the modem with a few AT commands, shows its identity and then,
about once a second, the serving cell and up to six neighbours with level
bars, the serving cell's details, a level history chart and statistics.
It reads the cell reports of SIMCOM, Telit, Wavecom and Sierra Wireless
modems, and of modems with the AT^MONI family of reports.

The package holds the window (vantrel), a drive-test recorder writing CSV
or JSON Lines (vantrel-log) and a modem simulator on a pseudo-terminal
(vantrel-modem-sim).")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VANTREL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the shared libraries do not name them: the platform plugins (no window
# opens without one) and the SVG image and icon engine plugins (the icon and the option button).
set(VANTREL_SVG_PLUGIN_PACKAGE libqt6svg6)
find_program(VANTREL_DPKG_QUERY dpkg-query)
if(VANTREL_DPKG_QUERY)
  # Debian moved the SVG plugins into a package of their own after Qt 6.4; ask who ships them.
  execute_process(COMMAND ${VANTREL_DPKG_QUERY} -S "*/qt6/plugins/imageformats/libqsvg.so"
                  OUTPUT_VARIABLE owner ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed AND owner MATCHES "^([^:,]+)")
    set(VANTREL_SVG_PLUGIN_PACKAGE ${CMAKE_MATCH_1})
  endif()
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, ${VANTREL_SVG_PLUGIN_PACKAGE}")
# gpsd gives the recorder its positions; fonts-wine has the font the window is measured for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gpsd, fonts-wine")
include(CPack)
