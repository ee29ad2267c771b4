tamberline_gtest(device_link_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/link_watch_test.cpp
  LIBS tamberline_app tamberline_test_support)
