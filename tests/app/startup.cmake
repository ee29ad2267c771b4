# Start-up and shut-down steps of the main window, and the general error text.
tamberline_gtest(startup_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp
  LIBS tamberline_app tamberline_test_support)
if(WIN32)
  tamberline_gtest(end_requests_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_end_requests_test.cpp
    LIBS tamberline_app tamberline_test_support)
endif()
