# The panel's core against the service's end of a real endpoint, with a handler standing in for the
# service.
tamberline_gtest(remote_core_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/remote_core_test.cpp ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_test_endpoint.cpp
  LIBS tamberline_control tamberline_test_support)
