# The Debian package of everything `cmake --install` puts in place (`make package`, or
# `cpack -G DEB` in the build folder): the three programs, their man pages, completion,
# desktop entries and icons, and the radar-station service with its maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME skarnel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and tools for the data of a Doppler monitoring radar")
set(CPACK_PACKAGE_DESCRIPTION "\
Skarnel reads, shows, converts, simulates and analyses the frames of a
ground-based Doppler radar that watches slopes and river beds for avalanches,
water-level changes and rain.

This package holds the viewer skarnel, the batch converter, the command-line
companion rrdcli and the service rrdcli-watch@.service, which runs the
detectors, the alarm log and the recording of one radar per instance.")
# Paths in the unit and the scripts are those below /usr, so the package is laid out as
# installed there (DESTDIR), not relocated.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside the linked libraries: the SVG plugins that draw the windows' icons, and the tool
# that creates the stations' user.
if(QT_VERSION_MAJOR GREATER_EQUAL 6)
  set(svg_plugins qt6-svg-plugins)
else()
  set(svg_plugins libqt5svg5)
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "${svg_plugins}, systemd | systemd-standalone-sysusers | systemd-sysusers")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_SOURCE_DIR}/packaging/debian/postinst
    ${CMAKE_SOURCE_DIR}/packaging/debian/prerm
    ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# A package without man pages or icons would install cleanly and be wrong: refuse it.
set(CPACK_SK_PACKAGING_COMPLETE ${SK_PACKAGING_COMPLETE})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/SkPackageCheck.cmake)
include(CPack)
