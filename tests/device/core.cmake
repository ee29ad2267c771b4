foreach(unit frames messages commands)
  tamberline_gtest(device_${unit}_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_${unit}_test.cpp
    LIBS tamberline_app tamberline_test_support)
endforeach()
