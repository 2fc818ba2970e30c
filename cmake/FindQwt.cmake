# Finds Qwt 6.1 or newer built for the Qt in use (QT_VERSION_MAJOR from the top level): with
# Qt 6 a Qt 6 build of Qwt, with Qt 5 the Qt 5 one. A Qwt of the other Qt major version
# would link a second Qt into the program, so it is never taken.
#
# Defines the imported target Qwt::Qwt, Qwt_FOUND, Qwt_VERSION, Qwt_INCLUDE_DIR, Qwt_LIBRARY.
# Set Qwt_INCLUDE_DIR and Qwt_LIBRARY to use a Qwt outside the usual places.

if(NOT QT_VERSION_MAJOR)
  message(FATAL_ERROR "FindQwt: find Qt before Qwt (QT_VERSION_MAJOR is not set)")
endif()
set(_qwt_qt ${QT_VERSION_MAJOR})

# Debian installs the Qt 5 build as /usr/include/qwt + libqwt-qt5; other distributions use
# qwt6-qt5 or a qwt folder below the Qt include directory.
find_path(Qwt_INCLUDE_DIR qwt_plot.h
  PATH_SUFFIXES qwt-qt${_qwt_qt} qwt6-qt${_qwt_qt} qt${_qwt_qt}/qwt qt${_qwt_qt}/qwt6 qwt qwt6)
# A bare "qwt" (an upstream build) comes last: it is built for the system's main Qt.
find_library(Qwt_LIBRARY NAMES qwt-qt${_qwt_qt} qwt6-qt${_qwt_qt} qwt)

if(Qwt_INCLUDE_DIR AND EXISTS ${Qwt_INCLUDE_DIR}/qwt_global.h)
  file(STRINGS ${Qwt_INCLUDE_DIR}/qwt_global.h _qwt_version_line
    REGEX "^#define[ \t]+QWT_VERSION_STR[ \t]+\"[0-9.]+\"")
  string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" Qwt_VERSION "${_qwt_version_line}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Qwt
  REQUIRED_VARS Qwt_LIBRARY Qwt_INCLUDE_DIR
  VERSION_VAR Qwt_VERSION
  REASON_FAILURE_MESSAGE
    "Qwt built for Qt ${_qwt_qt} is missing: install libqwt-qt${_qwt_qt}-dev (scripts/install-deps.sh), or set Qwt_INCLUDE_DIR and Qwt_LIBRARY")

if(Qwt_FOUND AND NOT TARGET Qwt::Qwt)
  # GLOBAL: the plots library links it publicly, and its users live in other folders.
  add_library(Qwt::Qwt UNKNOWN IMPORTED GLOBAL)
  set_target_properties(Qwt::Qwt PROPERTIES
    IMPORTED_LOCATION ${Qwt_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${Qwt_INCLUDE_DIR})
endif()
mark_as_advanced(Qwt_INCLUDE_DIR Qwt_LIBRARY)
