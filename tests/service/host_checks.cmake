# The port names a panel may send the service (the POSIX checks follow the device files themselves).
if(WIN32)
  tamberline_gtest(host_checks_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_host_checks_test.cpp
    LIBS tamberline_service)
endif()
