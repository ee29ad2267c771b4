tamberline_gtest(portlist_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/portlist_test.cpp
  LIBS tamberline_serial)
