# Orvane as a desktop program: the 48 px icon rendered from the scalable one
# (and carried in the editor's code for its windows), the compressed manual
# pages, the install rules (cmake --install, make install) and the Debian
# package (make package).
include(GNUInstallDirs)

file(STRINGS ${CMAKE_SOURCE_DIR}/src/model/model.h version_line REGEX "^#define ORVANE_VERSION ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" ORVANE_VERSION "${version_line}")

set(ORVANE_SVG ${CMAKE_SOURCE_DIR}/data/orvane.svg)
set(ORVANE_PNG ${CMAKE_BINARY_DIR}/data/orvane.png)
set(ORVANE_ICON_CPP ${CMAKE_BINARY_DIR}/data/orvane_icon.cpp)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/data)
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  add_custom_command(OUTPUT ${ORVANE_PNG}
    COMMAND ${RSVG_CONVERT} -w 48 -h 48 -o ${ORVANE_PNG} ${ORVANE_SVG}
    DEPENDS ${ORVANE_SVG} VERBATIM)
  add_custom_command(OUTPUT ${ORVANE_ICON_CPP}
    COMMAND ${CMAKE_COMMAND} -DIN=${ORVANE_PNG} -DOUT=${ORVANE_ICON_CPP}
            -P ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
    DEPENDS ${ORVANE_PNG} ${CMAKE_CURRENT_LIST_DIR}/embed.cmake VERBATIM)
else()
  # Without the renderer (librsvg2-bin) the windows go without an icon and
  # the 48 px one is not installed.
  message(WARNING "rsvg-convert not found: no 48 px icon")
  file(WRITE ${ORVANE_ICON_CPP} "extern const unsigned char OrvaneIconPng[] = {0};\n"
                                "extern const int OrvaneIconPngSize = 0;\n")
endif()
target_sources(orvane_ui PRIVATE ${ORVANE_ICON_CPP})
target_link_libraries(orvane_ui PUBLIC fltk_images)

set(manpages)
foreach(page orvane.1 vorlax4.1)
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/man/${page} ${CMAKE_BINARY_DIR}/man/${page}
    COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/man/${page}
    DEPENDS ${CMAKE_SOURCE_DIR}/man/${page} VERBATIM)
  list(APPEND manpages ${gz})
endforeach()
add_custom_target(desktop_files ALL DEPENDS ${manpages} $<$<BOOL:${RSVG_CONVERT}>:${ORVANE_PNG}>)

install(TARGETS orvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET vorlax4)
  install(TARGETS vorlax4 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES data/org.orvane.Orvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/org.orvane.Orvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${ORVANE_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
if(RSVG_CONVERT)
  install(FILES ${ORVANE_PNG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
endif()
install(FILES ${manpages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: orvane_VERSION_ARCH.deb, its run-time dependencies
# found by dpkg-shlibdeps from the programs' libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${ORVANE_VERSION})
set(CPACK_PACKAGE_CONTACT "The Orvane mixing team <orvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "offline audio mix editor and its render engine")
set(CPACK_PACKAGE_DESCRIPTION
  "Orvane prepares an offline audio mix: fader automation on 512 time indexes
for 127 input channels, 8 submixes, 8 VCAs and a master, an effect chain per
channel, routing, two reverbs and the output preferences, kept in three
plain-text files. Its render engine vorlax4 renders the mix to a WAV file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)

# The install test: the installed files, the package, and the installed
# editor mixing with the engine installed beside it. The sanitizer builds
# are not packaged.
if(NOT ORVANE_SANITIZE AND NOT ORVANE_FUZZ)
  add_test(NAME install COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh)
  set_tests_properties(install PROPERTIES LABELS install TIMEOUT 600
    ENVIRONMENT "ORVANE_BIN=${CMAKE_BINARY_DIR};ORVANE_SRC=${CMAKE_SOURCE_DIR}")
endif()
