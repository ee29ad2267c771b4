# The simulator is tested as a whole program, over its pseudo-terminal and its stdin/stdout.
if(NOT WIN32)
  tamberline_gtest(sim_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/sim_test.cpp ${PROJECT_SOURCE_DIR}/src/device/crc8.cpp
    LIBS tamberline_test_support)
endif()
