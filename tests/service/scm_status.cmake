# What the service reports to Windows' Service Control Manager, through a fake of the reporting call.
tamberline_gtest(scm_status_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/scm_status_test.cpp LIBS tamberline_service)
