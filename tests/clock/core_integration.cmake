tamberline_gtest(core_integration_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_integration_test.cpp
  LIBS tamberline_app tamberline_test_support)
