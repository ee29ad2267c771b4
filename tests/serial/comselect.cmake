tamberline_gtest(comselect_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/comselect_test.cpp LIBS tamberline_serial)
