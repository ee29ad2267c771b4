# The Windows package: tamberline.exe with the Qt libraries and plug-ins it loads and the compiler's
# runtime, in one folder; `cpack -G ZIP` zips it, `cpack -G NSIS` makes the installer (makensis runs
# on Linux too). The installer's own parts are in packaging/windows/tamberline.nsh.
set(qt_bin $<TARGET_FILE_DIR:Qt6::Core>)
install(TARGETS tamberline tamberlined RUNTIME DESTINATION .)
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
# The programs list shows the program's own icon; the installer and the uninstaller show it too.
set(CPACK_NSIS_INSTALLED_ICON_NAME tamberline.exe)
if(TAMBERLINE_EXE_ICON)
  set(CPACK_NSIS_MUI_ICON ${TAMBERLINE_EXE_ICON})
  set(CPACK_NSIS_MUI_UNIICON ${TAMBERLINE_EXE_ICON})
endif()
set(CPACK_NSIS_DEFINES "!include '${PROJECT_SOURCE_DIR}/packaging/windows/tamberline.nsh'")
set(CPACK_NSIS_CREATE_ICONS_EXTRA "!insertmacro TamberlineShortcuts")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "!insertmacro TamberlineRemoveShortcuts")
# The service, a section of its own (see below), holds tamberlined.exe while it runs.
set(CPACK_NSIS_EXTRA_PREINSTALL_COMMANDS "!insertmacro TamberlineStopService")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "!insertmacro TamberlineRemoveService")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# There are no licence terms to accept: the page would show CPack's English stand-in.
set(CPACK_NSIS_IGNORE_LICENSE_PAGE ON)

# CPack's installer script loads some sixty languages and shows the one of the user's Windows,
# English where that is missing, around our Russian texts. A copy of the script with Russian alone,
# made from CMake's own at configure time, shows every page in Russian; the few texts the script
# writes itself are put in Russian too. A changed script of a newer CMake stops the build here.
file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in nsis)
function(tamberline_nsis_replace regex replacement)
  string(REGEX REPLACE "${regex}" "${replacement}" changed "${nsis}")
  if(changed STREQUAL nsis)
    message(FATAL_ERROR "CMake's NSIS.template.in has no \"${regex}\" any more: packaging/windows needs a look")
  endif()
  set(nsis "${changed}" PARENT_SCOPE)
endfunction()
tamberline_nsis_replace("(\n *!insertmacro MUI_LANGUAGE \"[A-Za-z]+\"[^\n]*)+" "\n  !insertmacro MUI_LANGUAGE \"Russian\"")
# (A backslash in a replacement is written four times: once for CMake's string, once for its regex.)
tamberline_nsis_replace("\"@CPACK_NSIS_PACKAGE_NAME@ is already installed[^\"]*\""
                        "\"Программа @CPACK_NSIS_PACKAGE_NAME@ уже установлена.$\\\\n$\\\\nУдалить прежнюю версию перед установкой новой?\"")
tamberline_nsis_replace("\"Uninstall failed.\"" "\"Прежнюю версию удалить не удалось.\"")
tamberline_nsis_replace("Uninstall\\.lnk" "Удалить Tamberline.lnk")
# The service is a section of the installer's own, after the one that copies the files, on a
# components page of its own (CPack's components would split the ZIP and the files between them).
tamberline_nsis_replace("\n(Section \"-Add to path\")" "\n!insertmacro TamberlineServiceSection\n\n\\1")
tamberline_nsis_replace("@CPACK_NSIS_PAGE_COMPONENTS@" "!insertmacro MUI_PAGE_COMPONENTS")
set(nsis_dir ${PROJECT_BINARY_DIR}/packaging/nsis)
file(WRITE ${nsis_dir}/NSIS.template.in "${nsis}")
list(PREPEND CPACK_MODULE_PATH ${nsis_dir})
