# The core writes through a real port to a pseudo-terminal of the test's own: POSIX only.
if(NOT WIN32)
  foreach(unit frames messages commands)
    tamberline_gtest(device_${unit}_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_${unit}_test.cpp
      LIBS tamberline_app tamberline_test_support)
  endforeach()
endif()
