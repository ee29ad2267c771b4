tamberline_gtest(comport_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/comport_rules_test.cpp ${CMAKE_CURRENT_LIST_DIR}/comport_io_test.cpp
  LIBS tamberline_serial tamberline_test_support)
