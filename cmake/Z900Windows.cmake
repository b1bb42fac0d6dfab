# What the Windows programs carry besides their code: icon, version and manifest.

# z900_windows_resources(target DESCRIPTION MANIFEST): compiles the icon (Z900_ICON_FILE, drawn
# with the skins), the version and the given manifest template into the program.
function(z900_windows_resources target description manifest)
  set(dir ${CMAKE_BINARY_DIR}/windows/${target})
  set(Z900_PROGRAM_NAME ${target})
  set(Z900_PROGRAM_DESCRIPTION ${description})
  set(Z900_VERSION_QUAD ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
  set(Z900_VERSION_COMMAS
      ${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0)
  set(Z900_MANIFEST_FILE ${dir}/${target}.manifest)
  configure_file(${manifest} ${Z900_MANIFEST_FILE} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/windows/program.rc.in ${dir}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${dir}/${target}.rc)
  set_source_files_properties(${dir}/${target}.rc PROPERTIES
                              OBJECT_DEPENDS "${Z900_ICON_FILE};${Z900_MANIFEST_FILE}")
  add_dependencies(${target} z900_skin_images)
endfunction()
