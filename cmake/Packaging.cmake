# Installation and packages. On Linux: the program, the headless service with its systemd unit and
# the simulator, the menu and autostart entries, the icons, manual pages and the README's user part,
# packed by `cpack -G DEB` into tamberline_<version>_<arch>.deb. On Windows see WindowsPackage.cmake.
include(GNUInstallDirs)
set(TAMBERLINE_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

set(CPACK_PACKAGE_NAME tamberline)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tamberline")
set(CPACK_PACKAGE_CONTACT "Tamberline maintainers <maintainers@tamberline.example>"
    CACHE STRING "Maintainer named in the packages")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray tool for a GPS clock device on a serial port")
set(CPACK_STRIP_FILES ON)

# The icons come from a tool run during the build, so a cross build has no Linux package.
if(UNIX AND TARGET tamberline_icons)
  set(pkg_src ${TAMBERLINE_PACKAGING_DIR}/linux)
  set(gen ${PROJECT_BINARY_DIR}/packaging)
  set(TAMBERLINE_LAUNCHER_DIR ${CMAKE_INSTALL_LIBEXECDIR}/tamberline)

  install(TARGETS tamberline tamberline-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The service is the system's, started by systemd: the package enables it, and it waits quietly until
  # a port is chosen. It says in its log when another time service also sets the clock.
  install(TARGETS tamberlined RUNTIME DESTINATION ${CMAKE_INSTALL_SBINDIR})
  install(FILES ${pkg_src}/tamberlined.service DESTINATION /lib/systemd/system)
  install(DIRECTORY ${TAMBERLINE_ICON_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

  # The entries name the launcher by its full path, and the launcher the program: both follow
  # the prefix the install runs with (/usr for the package), so they are filled in then.
  install(CODE "
    set(TAMBERLINE_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/tamberline\")
    set(TAMBERLINE_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${TAMBERLINE_LAUNCHER_DIR}/tamberline-start\")
    foreach(f tamberline-start tamberline.desktop tamberline-autostart.desktop)
      configure_file(${pkg_src}/\${f}.in ${gen}/\${f} @ONLY)
    endforeach()")
  install(PROGRAMS ${gen}/tamberline-start DESTINATION ${TAMBERLINE_LAUNCHER_DIR})
  install(FILES ${gen}/tamberline.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${gen}/tamberline-autostart.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/tamberline)

  # Manual pages and the changelog go compressed, without a time stamp, as Debian wants them.
  set(gzipped)
  foreach(f tamberline.1 tamberline-sim.1 tamberlined.8 changelog)
    add_custom_command(
      OUTPUT ${gen}/${f}.gz
      COMMAND gzip -9nc ${pkg_src}/${f} > ${gen}/${f}.gz
      DEPENDS ${pkg_src}/${f})
    list(APPEND gzipped ${gen}/${f}.gz)
  endforeach()
  add_custom_target(tamberline_docs ALL DEPENDS ${gzipped})
  install(FILES ${gen}/tamberline.1.gz ${gen}/tamberline-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${gen}/tamberlined.8.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man8)

  # The README's user part ends at this marker; the rest is for developers.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/README.md)
  file(READ ${PROJECT_SOURCE_DIR}/README.md readme)
  string(FIND "${readme}" "<!-- end of the user part -->" user_end)
  if(user_end LESS 0)
    message(FATAL_ERROR "README.md lacks the end-of-user-part marker")
  endif()
  string(SUBSTRING "${readme}" 0 ${user_end} readme_user)
  file(WRITE ${gen}/README.md "${readme_user}")
  install(FILES ${gen}/README.md ${pkg_src}/copyright ${gen}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tamberline)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The summary above becomes the first line; Debian wants the rest within 80 columns.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Tamberline lives in the notification area and shows the time of a
GPS-disciplined clock device and whether it has satellite synchronisation.
It edits the device's time-zone offset and receiver correction, sets its
time by hand while it runs autonomously, and sets the computer's clock from
it on demand and on a schedule. The user interface is in Russian.
For machines without a desktop it includes tamberlined, a service that sets
the clock on the same schedule or hands the device's time to chronyd, and
tamberline-sim, a device simulator on a pseudo-terminal, for trying the
program without a device.")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # addgroup for the group of those who may command the service; deb-systemd-helper for its unit.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, init-system-helpers (>= 1.50)")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${pkg_src}/postinst ${pkg_src}/prerm ${pkg_src}/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # Directories made by the install are 0755 whatever the builder's umask.
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                  WORLD_READ WORLD_EXECUTE)
endif()

# On Windows: a folder with the program, the Qt libraries and plug-ins it loads and the compiler's
# runtime, as a ZIP and as an NSIS installer. The shortcuts give the program a per-user working
# folder, since the settings file lives in the current directory.
if(WIN32 AND TARGET tamberline)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake)
endif()

include(CPack)
