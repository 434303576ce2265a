# Read by cpack once per generator.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "Kestrun-${CPACK_PACKAGE_VERSION}-setup")
endif()
