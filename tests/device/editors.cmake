tamberline_gtest(zone_editor_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/zone_editor_test.cpp LIBS tamberline_device)
tamberline_gtest(time_editor_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/time_editor_test.cpp LIBS tamberline_device)
