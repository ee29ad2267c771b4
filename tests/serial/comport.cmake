# The rules run against a fake OS layer everywhere; the I/O cases need a pseudo-terminal of their own.
set(comport_sources ${CMAKE_CURRENT_LIST_DIR}/comport_rules_test.cpp)
if(NOT WIN32)
  list(APPEND comport_sources ${CMAKE_CURRENT_LIST_DIR}/comport_io_test.cpp)
endif()
tamberline_gtest(comport_test SOURCES ${comport_sources} LIBS tamberline_serial tamberline_test_support)
