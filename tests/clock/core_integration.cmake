tamberline_gtest(core_integration_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_integration_test.cpp
  LIBS tamberline_app tamberline_test_support)
if(WIN32)
  set_tests_properties(core_integration_test PROPERTIES RESOURCE_LOCK simulator_port)
endif()
