# The error sounds, synthesised at build time by tools/soundgen into the bundle's "sounds"
# folder (found as "sounds/<name>" with the extension "wav").
set(sound_dir "${WOVANU_BUNDLE_DIR}/sounds")
set(sound_files "${sound_dir}/sound_beta_2.wav")
foreach(family child mar pluc)
  foreach(i RANGE 1 5)
    list(APPEND sound_files "${sound_dir}/sound_${family}_${i}.wav")
  endforeach()
endforeach()
add_custom_command(
  OUTPUT ${sound_files}
  COMMAND wv_soundgen "${sound_dir}"
  DEPENDS wv_soundgen
  COMMENT "Synthesising the error sounds"
  VERBATIM)
add_custom_target(wv_sounds DEPENDS ${sound_files})
add_dependencies(wv_bundle wv_sounds)
