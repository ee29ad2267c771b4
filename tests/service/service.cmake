if(WIN32)
  return()  # the command line's runs, the runs against the simulator and chronyd are POSIX only
endif()
# The headless program's own units, with fakes, and its command line.
tamberline_gtest(service_units_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/service_units_test.cpp
  LIBS tamberline_service tamberline_test_support)
target_compile_definitions(service_units_test PRIVATE TAMBERLINED="$<TARGET_FILE:tamberlined>")
add_dependencies(service_units_test tamberlined)
# The real tamberlined against the simulator: step mode under the recording clock, chrony mode
# against a chronyd that cannot touch the clock.
tamberline_gtest(service_run_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/service_run_test.cpp
  LIBS tamberline_service tamberline_test_support)
target_compile_definitions(service_run_test PRIVATE TAMBERLINED="$<TARGET_FILE:tamberlined>"
  TAMBERLINE_CLOCK_RECORDER="$<TARGET_FILE:tamberline_clock_recorder>" TAMBERLINE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(service_run_test tamberlined tamberline_clock_recorder)
# Each suite waits on device seconds: side by side they take the time of the longer.
set_tests_properties(service_run_test PROPERTIES ENVIRONMENT "GTEST_FILTER=ServiceStep.*")
add_test(NAME service_run_test_chrony COMMAND service_run_test --gtest_filter=ServiceChrony.*)
set_tests_properties(service_run_test_chrony PROPERTIES TIMEOUT 300)
