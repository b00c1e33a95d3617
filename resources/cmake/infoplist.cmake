# The bundle's information property list, with the version of this build.
configure_file("${CMAKE_CURRENT_SOURCE_DIR}/Info.plist.in" "${WOVANU_BUNDLE_DIR}/Info.plist" @ONLY)
