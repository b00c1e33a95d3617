# The bundle's information property list, with the version of this build and the reporting
# SDK's configuration: the API key it sends with its requests and the kit list. The key names
# the application to the reporting service; without an endpoint (all empty by default) it goes
# nowhere.
set(WOVANU_API_KEY "ab2b3c72d1b7f6bdfb01e1f718abd31a6b02b4d7" CACHE STRING
    "API key of the reporting SDK (40 hexadecimal digits)")
configure_file("${CMAKE_CURRENT_SOURCE_DIR}/Info.plist.in" "${WOVANU_BUNDLE_DIR}/Info.plist" @ONLY)
