# cmake -DREADELF=<readelf> -DPROGRAM=<file> -DFORBIDDEN=<regex> -P CheckNeeded.cmake
# Fails when a library the program names in its dynamic section (NEEDED) matches FORBIDDEN:
# those must come only from modules the program opens when it needs them.
execute_process(COMMAND "${READELF}" -d "${PROGRAM}" OUTPUT_VARIABLE dynamic
                RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "readelf -d ${PROGRAM} failed: ${errors}")
endif()
string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]*\\]" entries "${dynamic}")
if(NOT entries)
  message(FATAL_ERROR "${PROGRAM} names no NEEDED library: not a dynamically linked program?")
endif()
set(bad "")
foreach(entry IN LISTS entries)
  string(REGEX REPLACE ".*\\[([^]]*)\\]" "\\1" library "${entry}")
  if(library MATCHES "^lib(${FORBIDDEN})([-.][^/]*)?\\.so")
    list(APPEND bad "${library}")
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "${PROGRAM} loads at start what only a module may: ${bad}")
endif()
list(LENGTH entries count)
message(STATUS "${count} NEEDED libraries, none of: ${FORBIDDEN}")
