# The time-zone and time editors of the real main window, driven with the mouse and keys.
tamberline_qtest(editors_window_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/editors_window_test.cpp
  LIBS tamberline_ui tamberline_test_support)
