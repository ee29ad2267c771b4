tamberline_gtest(comthread_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/comthread_test.cpp
  LIBS tamberline_serial tamberline_test_support)
