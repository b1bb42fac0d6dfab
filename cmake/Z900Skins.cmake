# The skin pictures, drawn at build time from the vector sources in resources/skins by
# z900-skinraster, each at its own size and at twice that size (@2x):
# - the numbered window pictures and the icons, compiled into the ui as Qt resources
#   (:/z900/bitmaps/ID.png, :/z900/icons/ID.png), see z900_add_skin_resources;
# - the files of the program folder's skins/ folder, staged in ${Z900_SKINS_STAGE} and copied
#   beside a program by z900_copy_skin_files and installed to share/z900/skins.
set(Z900_SKIN_SOURCES ${PROJECT_SOURCE_DIR}/resources/skins)
set(Z900_SKIN_RESOURCES_DIR ${CMAKE_BINARY_DIR}/skin-resources)
set(Z900_SKINS_STAGE ${CMAKE_BINARY_DIR}/skins)

# The rasteriser runs on the build machine: the build's own, or, when cross-building, the same
# sources built for the build machine with its compiler and its Qt.
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(Z900_SKINRASTER ${CMAKE_BINARY_DIR}/host-skinraster/z900-skinraster)
  find_program(Z900_HOST_CXX NAMES c++ g++ REQUIRED NO_CMAKE_FIND_ROOT_PATH)
  set(Z900_HOST_ARGUMENTS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${Z900_HOST_CXX})
  if(Z900_CCACHE)
    list(APPEND Z900_HOST_ARGUMENTS -DCMAKE_CXX_COMPILER_LAUNCHER=${Z900_CCACHE})
  endif()
  ExternalProject_Add(z900_host_skinraster
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/skinraster
    BINARY_DIR ${CMAKE_BINARY_DIR}/host-skinraster
    CMAKE_GENERATOR ${CMAKE_GENERATOR}
    CMAKE_ARGS ${Z900_HOST_ARGUMENTS}
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${Z900_SKINRASTER}
    # Its sources are ours: rebuilt when they change.
    BUILD_ALWAYS ON)
  # The program itself too, so that a changed rasteriser draws the pictures again.
  set(Z900_SKINRASTER_TARGET z900_host_skinraster ${Z900_SKINRASTER})
else()
  set(Z900_SKINRASTER $<TARGET_FILE:z900-skinraster>)
  set(Z900_SKINRASTER_TARGET z900-skinraster)
endif()
set(Z900_SKIN_RESOURCE_FILES)
set(Z900_SKINS_FOLDER_FILES)

# z900_rasterise(SOURCE WIDTH HEIGHT [OPAQUE] [SINGLE] LIST var OUTPUTS path[:hidden,classes] ...)
# SINGLE: the given size only, without the @2x picture.
function(z900_rasterise source width height)
  cmake_parse_arguments(ARG "OPAQUE;SINGLE" "LIST" "OUTPUTS" ${ARGN})
  set(outputs)
  set(directories)
  foreach(output ${ARG_OUTPUTS})
    string(REGEX REPLACE ":.*$" "" path "${output}")
    string(REGEX REPLACE "(\\.[A-Za-z]+)$" "@2x\\1" large "${path}")
    get_filename_component(directory ${path} DIRECTORY)
    list(APPEND outputs ${path})
    if(NOT ARG_SINGLE)
      list(APPEND outputs ${large})
    endif()
    list(APPEND directories ${directory})
  endforeach()
  list(REMOVE_DUPLICATES directories)
  set(flags)
  if(ARG_OPAQUE)
    list(APPEND flags --opaque)
  endif()
  if(ARG_SINGLE)
    list(APPEND flags --single)
  endif()
  add_custom_command(
    OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${directories}
    # The rasteriser is a build tool: leak reports of a sanitizer build are not its business.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
            ${Z900_SKINRASTER} ${flags} ${Z900_SKIN_SOURCES}/${source} ${width}
            ${height} ${ARG_OUTPUTS}
    DEPENDS ${Z900_SKINRASTER_TARGET} ${Z900_SKIN_SOURCES}/${source}
    COMMENT "Drawing ${source}"
    VERBATIM)
  set(${ARG_LIST} ${${ARG_LIST}} ${outputs} PARENT_SCOPE)
endfunction()

# One window: its three pictures from one drawing, the classes of the other states hidden.
function(z900_rasterise_window source width height normal hover pressed)
  cmake_parse_arguments(ARG "" "HIDE" "" ${ARGN})
  set(extra)
  if(ARG_HIDE)
    set(extra ",${ARG_HIDE}")
  endif()
  set(dir ${Z900_SKIN_RESOURCES_DIR}/bitmaps)
  z900_rasterise(${source} ${width} ${height} OPAQUE LIST files OUTPUTS
                 ${dir}/${normal}.png:hover,pressed${extra}
                 ${dir}/${hover}.png:normal,pressed${extra}
                 ${dir}/${pressed}.png:normal,hover${extra})
  set(Z900_SKIN_RESOURCE_FILES ${Z900_SKIN_RESOURCE_FILES} ${files} PARENT_SCOPE)
endfunction()

z900_rasterise_window(main_window.svg 822 544 197 195 196)
z900_rasterise_window(about_box.svg 427 228 198 199 200)
z900_rasterise_window(settings_page.svg 822 458 202 203 201)
z900_rasterise_window(combo_dialog.svg 349 185 206 204 205)
z900_rasterise_window(macro_chooser.svg 242 257 209 207 208)
z900_rasterise_window(macro_editor.svg 822 458 218 216 217)
z900_rasterise_window(message_dialog.svg 330 160 214 210 212 HIDE question,choice,ask)
z900_rasterise_window(message_dialog.svg 330 160 213 215 211 HIDE info,choice)
z900_rasterise_window(message_dialog.svg 330 160 219 220 221 HIDE info,question)

set(icons ${Z900_SKIN_RESOURCES_DIR}/icons)
foreach(size 16 32 64)
  z900_rasterise(app_icon.svg ${size} ${size} LIST Z900_SKIN_RESOURCE_FILES
                 OUTPUTS ${icons}/128-${size}.png)
endforeach()
z900_rasterise(tray_menu_icons.svg 16 16 LIST Z900_SKIN_RESOURCE_FILES OUTPUTS
               ${icons}/190.png:selected,config,exit ${icons}/191.png:normal,config,exit
               ${icons}/133.png:selected,about,exit ${icons}/134.png:normal,about,exit
               ${icons}/135.png:selected,about,config ${icons}/136.png:normal,about,config)

set(skins ${Z900_SKINS_STAGE})
z900_rasterise(progress.svg 330 86 OPAQUE LIST Z900_SKINS_FOLDER_FILES OUTPUTS
               ${skins}/Progress_Normal.png:full ${skins}/Progress_Over.png:empty)
z900_rasterise(slider_thumb.svg 13 13 LIST Z900_SKINS_FOLDER_FILES OUTPUTS ${skins}/Slider.png)
z900_rasterise(settings_page.svg 822 458 OPAQUE LIST Z900_SKINS_FOLDER_FILES OUTPUTS
               ${skins}/MouseSet/SetDlg_Normal.PNG:hover,pressed)
z900_rasterise(menu_item.svg 160 24 LIST Z900_SKINS_FOLDER_FILES OUTPUTS
               ${skins}/Menu/MenuNor.BMP:hover,pressed,sub
               ${skins}/Menu/MenuOver.BMP:normal,pressed,sub
               ${skins}/Menu/MenuDown.BMP:normal,hover,sub
               ${skins}/Menu/MenuNorHaveSub.BMP:hover,pressed
               ${skins}/Menu/MenuOverHaveSub.BMP:normal,pressed
               ${skins}/Menu/MenuDownHaveSub.BMP:normal,hover)
set(macro ${skins}/Macro_editor)
z900_rasterise(macro_event_icons.svg 16 16 LIST Z900_SKINS_FOLDER_FILES OUTPUTS
               ${macro}/up_normal.png:select,down,delay ${macro}/up_select.png:normal,down,delay
               ${macro}/down_normal.png:select,up,delay ${macro}/down_select.png:normal,up,delay
               ${macro}/delay_normal.png:select,up,down ${macro}/delay_select.png:normal,up,down)

if(WIN32)
  # The programs' icon: the drawing at the sizes Windows shows icons at, in one icon file.
  set(Z900_ICON_FILE ${CMAKE_BINARY_DIR}/windows/z900.ico)
  set(pictures)
  foreach(size 16 20 24 32 40 48 64 128 256)
    z900_rasterise(app_icon.svg ${size} ${size} SINGLE LIST pictures
                   OUTPUTS ${CMAKE_BINARY_DIR}/windows/icon/${size}.png)
  endforeach()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(OUTPUT ${Z900_ICON_FILE}
                     COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tools/make_ico.py
                             ${Z900_ICON_FILE} ${pictures}
                     DEPENDS ${pictures} ${PROJECT_SOURCE_DIR}/tools/make_ico.py VERBATIM)
  list(APPEND Z900_SKIN_RESOURCE_FILES ${Z900_ICON_FILE})
endif()

add_custom_target(z900_skin_images ALL DEPENDS ${Z900_SKIN_RESOURCE_FILES}
                                               ${Z900_SKINS_FOLDER_FILES})
if(WIN32)
  # Beside the programs, where a Windows installation keeps everything.
  install(DIRECTORY ${Z900_SKINS_STAGE} DESTINATION .)
else()
  install(DIRECTORY ${Z900_SKINS_STAGE} DESTINATION ${CMAKE_INSTALL_DATADIR}/z900)
endif()

# z900_add_skin_resources(target): compiles the window pictures and icons into target.
function(z900_add_skin_resources target)
  qt_add_resources(${target} z900_skin_resources PREFIX /z900 BASE ${Z900_SKIN_RESOURCES_DIR}
                   FILES ${Z900_SKIN_RESOURCE_FILES})
  add_dependencies(${target} z900_skin_images)
endfunction()

# z900_copy_skin_files(target): puts the skins folder into the folder of the built programs
# (once for all of them), as z900_copy_language_files does for the language files.
set(Z900_SKINS_STAMP ${CMAKE_BINARY_DIR}/skins.stamp)
add_custom_command(OUTPUT ${Z900_SKINS_STAMP}
                   COMMAND ${CMAKE_COMMAND} -E copy_directory ${Z900_SKINS_STAGE}
                           ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/skins
                   COMMAND ${CMAKE_COMMAND} -E touch ${Z900_SKINS_STAMP}
                   DEPENDS ${Z900_SKINS_FOLDER_FILES} VERBATIM)
add_custom_target(z900_program_skins ALL DEPENDS ${Z900_SKINS_STAMP})
add_dependencies(z900_program_skins z900_skin_images)
function(z900_copy_skin_files target)
  add_dependencies(${target} z900_program_skins)
endfunction()
