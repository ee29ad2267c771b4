if(NOT WIN32)
  tamberline_gtest(inifile_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/inifile_test.cpp LIBS tamberline_app)
else()
  tamberline_gtest(settings_store_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_settings_store_test.cpp
    LIBS tamberline_app tamberline_test_support)
endif()
