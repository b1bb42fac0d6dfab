# The tests of the Windows build: GoogleTest built from Debian's sources for Windows, the test
# support, and every test program of the core and z900ctl, each run under Wine as one ctest test
# (one Wine start per program, not per case): run_under_wine.sh.

# libgtest-dev puts GoogleTest's sources into /usr/src/googletest.
set(Z900_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest's sources, built for Windows")
if(NOT EXISTS ${Z900_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's sources are not in ${Z900_GTEST_SOURCE_DIR}: install "
                      "libgtest-dev (tools/install-deps.sh), or configure with "
                      "-DZ900_BUILD_TESTS=OFF")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${Z900_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Every program of the build runs under Wine (CMAKE_CROSSCOMPILING_EMULATOR, set at the top).
# Each program's cases, for the summary of test.sh (summarise.py).
set(Z900_TEST_RESULTS ${CMAKE_BINARY_DIR}/test-results)
file(MAKE_DIRECTORY ${Z900_TEST_RESULTS})

add_library(z900_test_support STATIC support/temp_folder.cpp support/http_server.cpp
            support/windows/sockets.cpp support/windows/system_files.cpp
            support/windows/run_program.cpp)
target_include_directories(z900_test_support PUBLIC ${PROJECT_SOURCE_DIR}/src ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(z900_test_support PUBLIC GTest::gtest z900_platform ws2_32)
z900_target_defaults(z900_test_support)

add_subdirectory(platform)
add_subdirectory(device)
add_subdirectory(i18n)
add_subdirectory(keys)
add_subdirectory(macro)
add_subdirectory(config)
add_subdirectory(sim)
add_subdirectory(app)
add_subdirectory(actions)
add_subdirectory(update)
add_subdirectory(cli)
add_subdirectory(e2e)
