# The control protocol's messages, as the service and its panels write and read them.
tamberline_gtest(control_protocol_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/protocol_test.cpp LIBS tamberline_control)
