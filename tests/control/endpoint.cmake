# The control endpoint: the shared cases run on both systems; each system adds its own (the stale
# socket file and the rights of another uid on POSIX, the token's group check on Windows).
tamberline_gtest(endpoint_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/endpoint_test.cpp ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_endpoint_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_test_endpoint.cpp
  LIBS tamberline_control)
