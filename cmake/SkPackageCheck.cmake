# Read by cpack before it builds the package (CPACK_PROJECT_CONFIG_FILE).
if(NOT CPACK_SK_PACKAGING_COMPLETE)
  message(FATAL_ERROR "The package needs help2man and rsvg-convert for its man pages and "
                      "icons: run 'make package', which installs them, or install them and "
                      "configure the build again.")
endif()
