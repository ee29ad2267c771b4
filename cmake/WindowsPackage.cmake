# The Windows package: tamberline.exe with the Qt libraries and plug-ins it loads and the compiler's
# runtime, in one folder; `cpack -G ZIP` zips it, `cpack -G NSIS` makes the installer (makensis runs
# on Linux too). The installer's own parts are in packaging/windows/tamberline.nsh.
set(qt_bin $<TARGET_FILE_DIR:Qt6::Core>)
install(TARGETS tamberline RUNTIME DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
# Qt's libraries need the shared runtime; the program shares it rather than bringing its own copy.
install(FILES ${qt_bin}/libgcc_s_seh-1.dll ${qt_bin}/libstdc++-6.dll ${qt_bin}/libwinpthread-1.dll DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
# The libraries come with their debug information (libstdc++ alone 23 MB); the package, of which
# CPack strips only the program, leaves it behind.
install(CODE "
  file(GLOB dlls \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*/*.dll\")
  foreach(f \${dlls})
    execute_process(COMMAND ${CMAKE_STRIP} --strip-debug \${f} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()")

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_FILE_NAME tamberline-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tamberline)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tamberline)
set(CPACK_NSIS_PACKAGE_NAME "Tamberline ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "Tamberline")
set(CPACK_NSIS_INSTALLED_ICON_NAME tamberline.exe)
set(CPACK_NSIS_DEFINES "!include '${PROJECT_SOURCE_DIR}/packaging/windows/tamberline.nsh'")
set(CPACK_NSIS_CREATE_ICONS_EXTRA "!insertmacro TamberlineShortcuts")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "!insertmacro TamberlineRemoveShortcuts")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
