# Install rules and the Debian package: TAVELO as a desktop program.
#
#   bin/tavelo
#   share/applications/tavelo.desktop       menu entry; opens .su files
#   share/mime/packages/tavelo.xml          the application/x-seismic-unix type
#   share/icons/hicolor/*/apps/tavelo.*     the icon: SVG and PNG sizes
#   share/man/man1/tavelo.1.gz              made from `tavelo --help`
#   share/tavelo/sample/                    the sample line and its settings
#   share/doc/tavelo/README.md
#
# `cpack` (scripts/package) builds tavelo_VERSION-1_ARCH.deb from a build
# configured with -DCMAKE_INSTALL_PREFIX=/usr.

include(GNUInstallDirs)

set(TAVELO_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(TAVELO_STAGE_DIR ${PROJECT_BINARY_DIR}/packaging)
set(TAVELO_SAMPLE_DIR ${CMAKE_INSTALL_DATADIR}/tavelo/sample)
set(TAVELO_ICON_SIZES 16 22 24 32 48 64 128 256)

# --- Icon: PNG sizes rendered from the SVG with Qt's SVG renderer, which the
# program already links, so the build needs no other tool.
add_executable(tavelo_render_icon ${TAVELO_PACKAGING_DIR}/render_icon.cpp)
target_link_libraries(tavelo_render_icon PRIVATE Qt6::Gui Qt6::Svg)

set(icon_outputs "")
set(icon_arguments "")
foreach(size IN LISTS TAVELO_ICON_SIZES)
  set(png ${TAVELO_STAGE_DIR}/icons/${size}x${size}/apps/tavelo.png)
  file(MAKE_DIRECTORY ${TAVELO_STAGE_DIR}/icons/${size}x${size}/apps)
  list(APPEND icon_outputs ${png})
  list(APPEND icon_arguments ${size} ${png})
endforeach()
add_custom_command(
  OUTPUT ${icon_outputs}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:tavelo_render_icon> ${TAVELO_PACKAGING_DIR}/tavelo.svg ${icon_arguments}
  DEPENDS tavelo_render_icon ${TAVELO_PACKAGING_DIR}/tavelo.svg
  COMMENT "Rendering the TAVELO icon"
  VERBATIM)

# --- Manual page, from the program's own --help, compressed as Debian wants.
find_program(TAVELO_GZIP gzip REQUIRED)
set(man_page ${TAVELO_STAGE_DIR}/tavelo.1)
add_custom_command(
  OUTPUT ${man_page}.gz
  COMMAND ${CMAKE_COMMAND}
          -DTAVELO=$<TARGET_FILE:tavelo>
          -DTEMPLATE=${TAVELO_PACKAGING_DIR}/tavelo.1.in
          -DVERSION=${PROJECT_VERSION}
          -DSAMPLEDIR=${CMAKE_INSTALL_FULL_DATADIR}/tavelo/sample
          -DOUT=${man_page}
          -P ${TAVELO_PACKAGING_DIR}/man_page.cmake
  COMMAND ${TAVELO_GZIP} -9nf ${man_page}
  DEPENDS tavelo ${TAVELO_PACKAGING_DIR}/tavelo.1.in ${TAVELO_PACKAGING_DIR}/man_page.cmake
  COMMENT "Writing the tavelo(1) manual page"
  VERBATIM)

# --- The bundled sample line, made by the generator.
set(sample_files
  ${TAVELO_STAGE_DIR}/sample/line.su
  ${TAVELO_STAGE_DIR}/sample/line.NMO
  ${TAVELO_STAGE_DIR}/sample/line.txt)
add_custom_command(
  OUTPUT ${sample_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVELO_STAGE_DIR}/sample
  COMMAND tavelo_gen --sample ${TAVELO_STAGE_DIR}/sample/line.su
  DEPENDS tavelo_gen
  COMMENT "Generating the bundled sample line"
  VERBATIM)

add_custom_target(tavelo_install_files ALL DEPENDS ${icon_outputs} ${man_page}.gz ${sample_files})

# --- What is installed.
install(TARGETS tavelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TAVELO_PACKAGING_DIR}/tavelo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TAVELO_PACKAGING_DIR}/tavelo-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tavelo.xml)
install(FILES ${TAVELO_PACKAGING_DIR}/tavelo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size IN LISTS TAVELO_ICON_SIZES)
  install(FILES ${TAVELO_STAGE_DIR}/icons/${size}x${size}/apps/tavelo.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${sample_files}
              ${PROJECT_SOURCE_DIR}/sample/TAVELO3.ini
              ${PROJECT_SOURCE_DIR}/sample/Korvane.ini
        DESTINATION ${TAVELO_SAMPLE_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# --- Check of the installed tree (a DESTDIR install into a scratch folder).
if(TAVELO_BUILD_TESTS)
  add_test(NAME install_tree
           COMMAND bash ${TAVELO_PACKAGING_DIR}/install_check.sh
                   ${PROJECT_BINARY_DIR} ${CMAKE_INSTALL_PREFIX} ${PROJECT_VERSION}
                   "${TAVELO_ICON_SIZES}")
  set_tests_properties(install_tree PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endif()

# --- Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TAVELO")
set(CPACK_PACKAGE_CONTACT "TAVELO maintainers <maintainers@users.noreply.c-seed-0288b994.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "plot Seismic Unix trace files as seismic-section pages")
set(CPACK_PACKAGE_DESCRIPTION
"TAVELO turns a Seismic Unix (SU) trace file into a printed seismic-section
page: traces as wiggles, variable area or colour, with time and depth lines,
labels, fold, topography, elevation and statics diagrams, velocity panels and
the processing history. It runs as a window or, with --export, from the
command line, writing PDF, SVG, PNG or placeable WMF. It is the print module
of the Korvane processing application and shares its settings file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The library scan (dpkg-shlibdeps) finds what the program links: the Qt
# libraries (core, gui, widgets, print support, svg), libuemf0 for metafiles,
# the C and C++ run-times. Named here is what it loads or uses without
# linking: Qt's desktop platform plugins and the fonts the pages are laid
# out with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-liberation2")
# The desktop registers the .su type, the menu entry and the icon through
# these packages' triggers; a server that only exports pages can go without.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "shared-mime-info, desktop-file-utils, hicolor-icon-theme")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The manual page and the package must agree on where the sample lies.
set(TAVELO_CONFIGURED_PREFIX ${CMAKE_INSTALL_PREFIX})
configure_file(${TAVELO_PACKAGING_DIR}/cpack_check.cmake.in
               ${PROJECT_BINARY_DIR}/cpack_check.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack_check.cmake)
include(CPack)
