# POSIX: a fake sysfs tree; Windows: registry keys written by the test.
tamberline_gtest(portlist_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_portlist_test.cpp
  LIBS tamberline_serial)
