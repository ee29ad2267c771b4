# The service's own answers on Windows: the port names a panel may send, and no chrony mode.
if(WIN32)
  tamberline_gtest(service_os_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_service_os_test.cpp
    LIBS tamberline_service)
endif()
