tamberline_gtest(device_frames_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_frames_test.cpp LIBS tamberline_app)
tamberline_gtest(device_messages_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_messages_test.cpp LIBS tamberline_app)
tamberline_gtest(device_commands_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_commands_test.cpp LIBS tamberline_app)
