# tamberline.exe's icon and version resources (packaging/windows/tamberline.rc.in), compiled by the
# toolchain's windres. The icon file is drawn by tools/icons, which runs on the build machine: a
# native build renders it itself, a cross build takes the one a native build rendered.
set(TAMBERLINE_WINDOWS_ICON "" CACHE FILEPATH
    "tamberline.ico rendered by a native build (its tools/icons); without it a cross-built tamberline.exe has no icon")
set(TAMBERLINE_EXE_ICON "${TAMBERLINE_WINDOWS_ICON}")
if(NOT TAMBERLINE_EXE_ICON AND TARGET tamberline_icons)
  get_target_property(icons_dir tamberline_icons BINARY_DIR)
  set(TAMBERLINE_EXE_ICON ${icons_dir}/tamberline.ico)
  add_dependencies(tamberline tamberline_icons)
elseif(TAMBERLINE_EXE_ICON AND NOT EXISTS "${TAMBERLINE_EXE_ICON}")
  message(FATAL_ERROR "TAMBERLINE_WINDOWS_ICON names ${TAMBERLINE_EXE_ICON}, which does not exist")
endif()

if(TAMBERLINE_EXE_ICON)
  set(TAMBERLINE_RC_ICON "IDI_ICON1 ICON \"${TAMBERLINE_EXE_ICON}\"")
else()
  set(TAMBERLINE_RC_ICON "// no icon")
  message(STATUS "tamberline.exe is built without an icon: TAMBERLINE_WINDOWS_ICON names no icon file")
endif()
# Four numbers for the version resource: 1.05 is 1,5,0,0 (leading zeros would read as octal).
math(EXPR rc_minor "${PROJECT_VERSION_MINOR} + 0")
set(TAMBERLINE_RC_VERSION "${PROJECT_VERSION_MAJOR},${rc_minor},0,0")

set(rc ${PROJECT_BINARY_DIR}/packaging/tamberline.rc)
configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/tamberline.rc.in ${rc} @ONLY)
target_sources(tamberline PRIVATE ${rc})
if(TAMBERLINE_EXE_ICON)
  set_source_files_properties(${rc} TARGET_DIRECTORY tamberline PROPERTIES OBJECT_DEPENDS ${TAMBERLINE_EXE_ICON})
endif()
