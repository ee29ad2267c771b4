if(NOT WIN32)
  tamberline_gtest(inifile_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/inifile_test.cpp LIBS tamberline_app)
endif()
