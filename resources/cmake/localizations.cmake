# The interface texts: copied into the bundle whenever the table changes.
set(WOVANU_LOCALIZATIONS_CSV "${CMAKE_CURRENT_SOURCE_DIR}/Localizations.csv")
add_custom_command(
  OUTPUT "${WOVANU_BUNDLE_DIR}/Localizations.csv"
  COMMAND ${CMAKE_COMMAND} -E copy_if_different "${WOVANU_LOCALIZATIONS_CSV}"
          "${WOVANU_BUNDLE_DIR}/Localizations.csv"
  DEPENDS "${WOVANU_LOCALIZATIONS_CSV}"
  COMMENT "Copying Localizations.csv into the bundle")
add_custom_target(wv_localizations DEPENDS "${WOVANU_BUNDLE_DIR}/Localizations.csv")
add_dependencies(wv_bundle wv_localizations)
