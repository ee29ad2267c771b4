# The tray icon under a D-Bus status-notifier host, on a session bus and an X display of the test's
# own (dbus-daemon, Xvfb). A Qt without D-Bus (the Windows build's) has no such host.
if(TARGET Qt6::DBus AND NOT CMAKE_CROSSCOMPILING)
  tamberline_qtest(tray_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/tray_test.cpp LIBS tamberline_ui Qt6::DBus)
  set_tests_properties(tray_test PROPERTIES TIMEOUT 60)  # it takes a second; a bus that hangs, no longer
endif()
