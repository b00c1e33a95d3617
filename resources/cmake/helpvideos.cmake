# The help's three videos, recorded at build time by tools/helpvideos from the real typing
# screen into the bundle's top folder (found as "WV video <n>" with the extension "mov"). The
# program reads the bundle's words, texts and sounds while it records, so those come first.
find_program(WOVANU_FFMPEG ffmpeg REQUIRED)
set(help_video_files "${WOVANU_BUNDLE_DIR}/WV video 1.mov" "${WOVANU_BUNDLE_DIR}/WV video 2.mov"
                     "${WOVANU_BUNDLE_DIR}/WV video 3.mov")
add_custom_command(
  OUTPUT ${help_video_files}
  COMMAND ${CMAKE_COMMAND} -E env "WOVANU_BUNDLE_DIR=${WOVANU_BUNDLE_DIR}" $<TARGET_FILE:wv_helpvideos>
          "${WOVANU_BUNDLE_DIR}"
  DEPENDS wv_helpvideos
  COMMENT "Recording the help videos"
  VERBATIM)
add_custom_target(wv_help_videos DEPENDS ${help_video_files})
add_dependencies(wv_help_videos wv_localizations wv_sounds wv_word_databases)
add_dependencies(wv_bundle wv_help_videos)
