tamberline_gtest(core_integration_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/core_integration_test.cpp
  LIBS tamberline_app tamberline_test_support)
# Each suite runs for several seconds of device time: as separate entries they run side by side.
# Under wine they share the one mapped COM port, one after another, and the simulator cannot be
# given a link of the test's own (CoreLink).
set_tests_properties(core_integration_test PROPERTIES ENVIRONMENT "GTEST_FILTER=CoreIntegration.*")
# CoreNoise compares the simulator's CLOCK_MONOTONIC stamps with the tick's, which under wine run on
# another clock: POSIX only, as is CoreLink.
set(suites)
if(NOT WIN32)
  list(APPEND suites CoreNoise CoreLink)
endif()
foreach(suite ${suites})
  add_test(NAME core_integration_test_${suite} COMMAND core_integration_test --gtest_filter=${suite}.*)
  set_tests_properties(core_integration_test_${suite} PROPERTIES TIMEOUT 300)
  if(WIN32)
    set_tests_properties(core_integration_test_${suite} PROPERTIES TIMEOUT 120 RESOURCE_LOCK simulator_port)
  endif()
endforeach()
if(WIN32)
  set_tests_properties(core_integration_test PROPERTIES RESOURCE_LOCK simulator_port)
endif()
