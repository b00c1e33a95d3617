# The word databases db/<case>_<level>.db, built from the committed word lists by
# tools/wordsdb; one command per language so languages build in parallel.
set(wv_word_languages en ua ru de es fr gr tr it pr)
set(wv_word_dbs)
foreach(lang ${wv_word_languages})
  set(outputs)
  foreach(level RANGE 5)
    list(APPEND outputs "${WOVANU_BUNDLE_DIR}/db/${lang}_${level}.db")
  endforeach()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND wv_wordsdb "${PROJECT_SOURCE_DIR}/resources/words/${lang}.txt" ${lang}
            "${WOVANU_BUNDLE_DIR}/db"
    DEPENDS wv_wordsdb "${PROJECT_SOURCE_DIR}/resources/words/${lang}.txt"
    COMMENT "Word databases of ${lang}"
    VERBATIM)
  list(APPEND wv_word_dbs ${outputs})
endforeach()
add_custom_target(wv_word_databases DEPENDS ${wv_word_dbs})
add_dependencies(wv_bundle wv_word_databases)
