# Common settings for every target of the project.
function(z900_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wno-missing-field-initializers
                                           -Wnon-virtual-dtor)
endfunction()

# z900_library(name SOURCES ... [LINKS ...] [PRIVATE_LINKS ...])
# One static library per subsystem; include paths are rooted at src/.
function(z900_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  z900_target_defaults(${name})
endfunction()

# z900_test(name SOURCES ... LINKS ...): one GoogleTest executable, registered with ctest.
function(z900_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} z900_test_support GTest::gmock_main)
  z900_target_defaults(${name})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
