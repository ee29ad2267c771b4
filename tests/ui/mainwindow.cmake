# The real main window driven offscreen: start-up with and without a device, the modes, the tray,
# the menus and close.
tamberline_qtest(mainwindow_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/mainwindow_test.cpp
  LIBS tamberline_ui tamberline_test_support)
if(CMAKE_CROSSCOMPILING)
  set_tests_properties(mainwindow_test PROPERTIES RESOURCE_LOCK simulator_port)  # the one COM port it maps
endif()
