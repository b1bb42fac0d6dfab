# The Windows installation and its packages. Everything lies in one folder, as the utility
# expects: the programs, the Qt libraries and plugins they load, the compiler's runtime that Qt
# needs, the language files and the skins; the Profile folder is made by the installer.
# `cpack` in the build folder makes z900-setup-VERSION.exe (NSIS) and the portable .zip.

# Where the DLLs the programs load come from: Qt's, and the compiler runtime Qt was built with.
set(Z900_WINDOWS_DLL_FOLDERS ${Z900_QT_WINDOWS}/bin)
foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
                  OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${found}" AND EXISTS "${found}")
    get_filename_component(folder ${found} DIRECTORY)
    list(APPEND Z900_WINDOWS_DLL_FOLDERS ${folder})
  endif()
endforeach()
foreach(folder /usr/${Z900_MINGW_TRIPLET}/lib /usr/${Z900_MINGW_TRIPLET}/bin)
  list(APPEND Z900_WINDOWS_DLL_FOLDERS ${folder})
endforeach()
list(REMOVE_DUPLICATES Z900_WINDOWS_DLL_FOLDERS)
set(Z900_WINDOWS_DEPLOY ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/windows-deploy.py
                        --plugins ${Z900_QT_WINDOWS}/plugins)
foreach(folder ${Z900_WINDOWS_DLL_FOLDERS})
  list(APPEND Z900_WINDOWS_DEPLOY --search ${folder})
endforeach()
# The plugins Qt loads for a window program on Windows: the platform and the native style.
set(Z900_WINDOWS_PLUGINS --plugin platforms/qwindows.dll --plugin styles/qwindowsvistastyle.dll)

# The build folder's programs run under Wine as the installed ones do; the tests also draw
# offscreen and use Qt Test.
add_custom_target(z900_windows_runtime ALL
  COMMAND ${Z900_WINDOWS_DEPLOY} --dest ${CMAKE_RUNTIME_OUTPUT_DIRECTORY} ${Z900_WINDOWS_PLUGINS}
          --plugin platforms/qoffscreen.dll --library Qt6Test.dll
          --list ${CMAKE_BINARY_DIR}/windows/build-runtime.txt
          $<TARGET_FILE:z900-config> $<TARGET_FILE:z900-screengrab>
  DEPENDS z900-config z900-screengrab ${PROJECT_SOURCE_DIR}/tools/windows-deploy.py
  COMMENT "Putting the DLLs the Windows programs load beside them"
  VERBATIM)

install(FILES ${Z900_LANGUAGE_FILES} DESTINATION .)

# The skin's face, which Windows lacks, from the build machine's fonts, with its licence.
set(Z900_FONT_FOLDER /usr/share/fonts/truetype/open-sans)
set(Z900_FONT_FILES)
foreach(face Light Regular Semibold Bold)
  set(font ${Z900_FONT_FOLDER}/OpenSans-${face}.ttf)
  if(NOT EXISTS ${font})
    message(FATAL_ERROR "${font} is missing: install fonts-open-sans (tools/install-deps.sh)")
  endif()
  list(APPEND Z900_FONT_FILES ${font})
endforeach()
set(Z900_FONT_LICENCE /usr/share/doc/fonts-open-sans/copyright)
set(Z900_FONT_STAMP ${CMAKE_BINARY_DIR}/windows/fonts.stamp)
add_custom_command(OUTPUT ${Z900_FONT_STAMP}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/fonts
                   COMMAND ${CMAKE_COMMAND} -E copy ${Z900_FONT_FILES}
                           ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/fonts
                   COMMAND ${CMAKE_COMMAND} -E touch ${Z900_FONT_STAMP}
                   DEPENDS ${Z900_FONT_FILES} VERBATIM)
add_custom_target(z900_windows_fonts ALL DEPENDS ${Z900_FONT_STAMP})
install(FILES ${Z900_FONT_FILES} DESTINATION fonts)
install(FILES ${Z900_FONT_LICENCE} DESTINATION fonts RENAME OpenSans-copyright.txt)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
# The installed programs' DLLs, found anew from the installed programs.
string(REPLACE ";" "\" \"" Z900_DEPLOY_ARGUMENTS "${Z900_WINDOWS_DEPLOY};${Z900_WINDOWS_PLUGINS}")
install(CODE "
  set(folder \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  execute_process(COMMAND \"${Z900_DEPLOY_ARGUMENTS}\" --dest \"\${folder}\" --strip \"${CMAKE_STRIP}\"
                          --list \"${CMAKE_BINARY_DIR}/windows/installed-runtime.txt\"
                          \"\${folder}/z900-config.exe\" \"\${folder}/z900-screengrab.exe\"
                  COMMAND_ERROR_IS_FATAL ANY)")

set(CPACK_PACKAGE_NAME z900)
set(CPACK_PACKAGE_VENDOR "The Z900 developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Z900)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Z900)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_MODULE_PATH ${PROJECT_SOURCE_DIR}/resources/windows)
set(CPACK_NSIS_DISPLAY_NAME "Z900 utility")
set(CPACK_NSIS_PACKAGE_NAME "Z900 utility")
set(CPACK_NSIS_MUI_ICON ${Z900_ICON_FILE})
set(CPACK_NSIS_MUI_UNIICON ${Z900_ICON_FILE})
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
# The installer and the portable folder are named apart (resources/windows/CPackOptions.cmake).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/windows/CPackOptions.cmake)
file(WRITE ${CMAKE_BINARY_DIR}/windows/CPackOptions.cmake "
if(CPACK_GENERATOR STREQUAL \"NSIS\")
  set(CPACK_PACKAGE_FILE_NAME \"z900-setup-${PROJECT_VERSION}\")
else()
  set(CPACK_PACKAGE_FILE_NAME \"z900-${PROJECT_VERSION}-windows-portable\")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
")
include(CPack)
