# Common settings for every target of the project.
function(z900_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion -Wno-missing-field-initializers
                                           $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
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

# libxkbcommon-x11 strndup()s counted strings that have no terminator; the sanitizer's strict
# string check takes that for an overflow. Tests that read an X server's keymap in-process
# turn that one check off (ENVIRONMENT_MODIFICATION of z900_test); the other checks stay.
set(Z900_XKB_X11_ASAN_OPTIONS "ASAN_OPTIONS=string_append::strict_string_checks=0")

# z900_test(name [UNPRIVILEGED] SOURCES ... LINKS ... [ENVIRONMENT ... |
# ENVIRONMENT_MODIFICATION ...]): one GoogleTest executable, registered with ctest.
# UNPRIVILEGED tests run as the user "nobody" when ctest runs as root, so that file permissions
# hold for them (tests/support/run_unprivileged.sh).
function(z900_test name)
  cmake_parse_arguments(ARG "UNPRIVILEGED" "" "SOURCES;LINKS;ENVIRONMENT;ENVIRONMENT_MODIFICATION"
                        ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} z900_test_support GTest::gmock_main)
  z900_target_defaults(${name})
  if(WIN32)
    # Under Wine (the build's CMAKE_CROSSCOMPILING_EMULATOR), one start for all of its cases;
    # each case's outcome goes to the results folder for the summary.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 ENVIRONMENT
                         "GTEST_OUTPUT=xml:Z:${Z900_TEST_RESULTS}/${name}.xml;${ARG_ENVIRONMENT}")
    return()
  endif()
  if(ARG_UNPRIVILEGED)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR
                          ${PROJECT_SOURCE_DIR}/tests/support/run_unprivileged.sh)
  endif()
  if(ARG_ENVIRONMENT_MODIFICATION)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT_MODIFICATION "${ARG_ENVIRONMENT_MODIFICATION}")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
endfunction()

# z900_copy_language_files(target): puts the shipped language files into the folder of the
# built programs (once for all of them), so that a program run from the build tree finds
# language.xml in its own folder, as an installed one finds it in <prefix>/share/z900.
function(z900_copy_language_files target)
  if(NOT TARGET z900_language_files)
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/language*.xml)
    set(outputs)
    foreach(source ${sources})
      get_filename_component(name ${source} NAME)
      set(output ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${name})
      add_custom_command(OUTPUT ${output}
                         COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${output}
                         DEPENDS ${source} VERBATIM)
      list(APPEND outputs ${output})
    endforeach()
    add_custom_target(z900_language_files ALL DEPENDS ${outputs})
  endif()
  add_dependencies(${target} z900_language_files)
endfunction()
