tamberline_gtest(core_integration_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_integration_test.cpp
  LIBS tamberline_app tamberline_test_support)
# Each suite runs for several seconds of device time: as separate entries they run side by side.
set_tests_properties(core_integration_test PROPERTIES ENVIRONMENT "GTEST_FILTER=CoreIntegration.*")
foreach(suite CoreNoise CoreLink)
  add_test(NAME core_integration_test_${suite} COMMAND core_integration_test --gtest_filter=${suite}.*)
  set_tests_properties(core_integration_test_${suite} PROPERTIES TIMEOUT 300)
endforeach()
