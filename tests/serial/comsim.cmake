# Needs the device simulator (tools/sim), built as a dependency of every test.
tamberline_gtest(comsim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/comsim_test.cpp
  LIBS tamberline_serial tamberline_test_support)
