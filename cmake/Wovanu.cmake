# wovanu_library(<target> [DEPS <targets>...] [PRIVATE_DEPS <targets>...])
# A static library from every .cpp of the calling folder (not its tests/).
function(wovanu_library target)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${target} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
endfunction()

# wovanu_tests(<name> DEPS <targets>... [PROPERTIES <properties>...])
# One test program from tests/*.cpp of the calling folder; every GoogleTest case becomes its own
# ctest test, with the PROPERTIES given (a fixture the tests need, say). The shared test main gives each program fresh data and cache folders so
# no test ever touches the real home folder.
function(wovanu_tests name)
  cmake_parse_arguments(ARG "" "" "DEPS;PROPERTIES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} wv_test_main GTest::gmock)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
    # The properties are handed on as one flat list of name-value pairs, so a value must not
    # hold a ";": a second variable in ENVIRONMENT would pair off everything after it.
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ${ARG_PROPERTIES})
endfunction()

# wovanu_module(<target> [DEPS <targets>...])
# A shared object the program opens only when it needs it (platform/foundation/Module.h), made
# from every .cpp of the calling folder, named <target>.so and put beside the executable, where
# the program looks for it first. The static libraries it needs are linked into it (they are
# built position-independent for that) and kept to itself: the program's own copies of them
# stay the ones the program uses, and the module's log writes into the program's.
function(wovanu_module target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp")
  add_library(${target} SHARED ${sources} "${PROJECT_SOURCE_DIR}/platform/foundation/module/ModuleEntry.cpp")
  set_target_properties(${target} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${target} PRIVATE ${ARG_DEPS} wv_platform_foundation)
  target_link_options(${target} PRIVATE LINKER:--no-undefined LINKER:--exclude-libs,ALL)
endfunction()
