# What `cmake --install` puts down besides the programs and the program folder: the udev rule,
# manual pages, bash completion, the package's documents, and the tray utility's place on the
# desktop. Generated files are staged in ${Z900_INSTALL_STAGE}.
set(Z900_INSTALL_STAGE ${CMAKE_BINARY_DIR}/install-stage)
file(MAKE_DIRECTORY ${Z900_INSTALL_STAGE})

# udev reads <prefix>/lib/udev/rules.d for /usr and /usr/local, never a multiarch library
# folder, so this is not CMAKE_INSTALL_LIBDIR.
set(Z900_UDEV_RULES_DIR lib/udev/rules.d)
set(Z900_UDEV_RULES_FULL_DIR ${CMAKE_INSTALL_PREFIX}/${Z900_UDEV_RULES_DIR})
# The desktop reads autostart entries from $XDG_CONFIG_DIRS/autostart, /etc/xdg/autostart unless
# set; GNUInstallDirs makes the system configuration folder /etc for a /usr installation.
set(Z900_AUTOSTART_DIR ${CMAKE_INSTALL_FULL_SYSCONFDIR}/xdg/autostart)
set(Z900_MAINTAINER "The Z900 developers <packages@z900.example>")
# The Debian revision of the package of this version.
set(Z900_PACKAGE_RELEASE 1)
# The release date in the form the Debian changelog wants ("Thu, 10 Dec 2026 00:00:00 +0000").
execute_process(COMMAND env LC_ALL=C date -u -d ${Z900_RELEASE_DATE}
                        "+%a, %d %b %Y %H:%M:%S +0000"
                OUTPUT_VARIABLE Z900_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

find_program(Z900_GZIP gzip REQUIRED)

# z900_gzip(OUTPUT_VAR FILE): FILE.gz beside FILE, without a name or time stamp inside, so that
# a rebuild gives the same bytes.
function(z900_gzip output_var file)
  add_custom_command(OUTPUT ${file}.gz COMMAND ${Z900_GZIP} -9nkf ${file} DEPENDS ${file}
                     VERBATIM)
  set(${output_var} ${file}.gz PARENT_SCOPE)
endfunction()

# z900_clidoc(MODE TEMPLATE OUTPUT): OUTPUT from TEMPLATE with z900ctl's options and commands
# filled in by z900-clidoc (MODE man or bash).
function(z900_clidoc mode template output)
  # A build step: leak reports of a sanitizer build are not its business.
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
                             $<TARGET_FILE:z900-clidoc> ${mode} ${template} ${output}
                     DEPENDS z900-clidoc ${template} VERBATIM)
endfunction()

# z900_install_man_page(NAME [FROM_COMMAND_TABLE]): installs the manual page NAME.1 of
# resources/man/NAME.1.in; FROM_COMMAND_TABLE has z900-clidoc fill in z900ctl's options and
# commands.
function(z900_install_man_page name)
  cmake_parse_arguments(ARG "FROM_COMMAND_TABLE" "" "" ${ARGN})
  set(page ${Z900_INSTALL_STAGE}/${name}.1)
  if(ARG_FROM_COMMAND_TABLE)
    configure_file(${PROJECT_SOURCE_DIR}/resources/man/${name}.1.in ${page}.in @ONLY)
    z900_clidoc(man ${page}.in ${page})
  else()
    configure_file(${PROJECT_SOURCE_DIR}/resources/man/${name}.1.in ${page} @ONLY)
  endif()
  z900_gzip(compressed ${page})
  add_custom_target(${name}_man_page ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(FILES ${PROJECT_SOURCE_DIR}/resources/udev/70-z900.rules
        DESTINATION ${Z900_UDEV_RULES_DIR})

# z900ctl: its manual page and completion come from its own command table.
z900_install_man_page(z900ctl FROM_COMMAND_TABLE)
set(Z900_BASH_COMPLETION ${Z900_INSTALL_STAGE}/z900ctl.bash)
z900_clidoc(bash ${PROJECT_SOURCE_DIR}/resources/completion/z900ctl.bash.in
            ${Z900_BASH_COMPLETION})
add_custom_target(z900ctl_bash_completion ALL DEPENDS ${Z900_BASH_COMPLETION})
install(FILES ${Z900_BASH_COMPLETION}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME z900ctl)

# The documents every Debian package carries.
configure_file(${PROJECT_SOURCE_DIR}/resources/package/changelog.in
               ${Z900_INSTALL_STAGE}/changelog.Debian @ONLY)
z900_gzip(Z900_CHANGELOG ${Z900_INSTALL_STAGE}/changelog.Debian)
add_custom_target(z900_changelog ALL DEPENDS ${Z900_CHANGELOG})
install(FILES ${PROJECT_SOURCE_DIR}/resources/package/copyright ${Z900_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(Z900_METAINFO ${Z900_INSTALL_STAGE}/example.z900.Config.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/resources/metainfo/example.z900.Config.metainfo.xml.in
               ${Z900_METAINFO} @ONLY)

# The tray utility's place on the desktop: menu and autostart entries, icons in every size the
# icon theme has a folder for, AppStream metadata.
set(Z900_DESKTOP_ENTRIES ${PROJECT_SOURCE_DIR}/resources/desktop)
install(FILES ${Z900_DESKTOP_ENTRIES}/z900-config.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${Z900_DESKTOP_ENTRIES}/z900-config-autostart.desktop
        DESTINATION ${Z900_AUTOSTART_DIR} RENAME z900-config.desktop)
# A file in /etc is the administrator's to change: the package keeps their changes.
set(Z900_CONFFILES ${Z900_AUTOSTART_DIR}/z900-config.desktop)
install(FILES ${Z900_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(Z900_ICONS ${Z900_INSTALL_STAGE}/icons)
set(Z900_ICON_PICTURES)
foreach(size 16 22 24 32 48 64 128 256)
  z900_rasterise(app_icon.svg ${size} ${size} SINGLE LIST Z900_ICON_PICTURES
                 OUTPUTS ${Z900_ICONS}/${size}x${size}/z900-config.png)
  install(FILES ${Z900_ICONS}/${size}x${size}/z900-config.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(z900_app_icons ALL DEPENDS ${Z900_ICON_PICTURES})
install(FILES ${Z900_SKIN_SOURCES}/app_icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME z900-config.svg)

# The shell extension through which GNOME tells us the focused program (docs/foreground.md), in
# both of its forms: gnome-extension links the one that the installed GNOME Shell loads into
# GNOME Shell's folder. The package runs it (postinst, a trigger on GNOME Shell, prerm); a
# plain `cmake --install` runs it at once, a staged one (DESTDIR) leaves it to the package.
# Each form's extension.js is its own beginning and end around the part they share.
set(Z900_GNOME_SHELL_SOURCES ${PROJECT_SOURCE_DIR}/resources/gnome-shell)
set(Z900_GNOME_EXTENSIONS ${Z900_INSTALL_STAGE}/gnome-shell)
file(READ ${Z900_GNOME_SHELL_SOURCES}/foreground_reporter.js Z900_FOREGROUND_REPORTER)
foreach(form legacy module)
  set(sources ${Z900_GNOME_SHELL_SOURCES}/${form})
  set(folder ${Z900_GNOME_EXTENSIONS}/${form}/z900-foreground@z900)
  file(READ ${sources}/begin.js begin)
  file(READ ${sources}/end.js end)
  file(CONFIGURE OUTPUT ${folder}/extension.js CONTENT "${begin}${Z900_FOREGROUND_REPORTER}${end}"
       @ONLY)
  configure_file(${sources}/metadata.json ${folder}/metadata.json COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${sources}/begin.js
                                                                 ${sources}/end.js)
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                                       ${Z900_GNOME_SHELL_SOURCES}/foreground_reporter.js)
install(DIRECTORY ${Z900_GNOME_EXTENSIONS}/legacy ${Z900_GNOME_EXTENSIONS}/module
        DESTINATION ${CMAKE_INSTALL_DATADIR}/z900/gnome-shell)
set(Z900_GNOME_EXTENSION_SCRIPT ${Z900_INSTALL_STAGE}/gnome-extension)
configure_file(${PROJECT_SOURCE_DIR}/resources/gnome-shell/gnome-extension.in
               ${Z900_GNOME_EXTENSION_SCRIPT} @ONLY)
install(PROGRAMS ${Z900_GNOME_EXTENSION_SCRIPT} DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/z900)
install(CODE "if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
  execute_process(COMMAND ${CMAKE_INSTALL_FULL_LIBEXECDIR}/z900/gnome-extension link)
endif()")

z900_install_man_page(z900-config)
z900_install_man_page(z900-screengrab)
