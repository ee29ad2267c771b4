# Needs the device simulator (tools/sim), built as a dependency of every test. Under wine all
# simulator tests share the one mapped COM port, so they run one after another.
tamberline_gtest(comsim_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/comsim_test.cpp
  LIBS tamberline_serial tamberline_test_support)
if(WIN32)
  set_tests_properties(comsim_test PROPERTIES RESOURCE_LOCK simulator_port)
endif()
