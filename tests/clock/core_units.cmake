if(NOT WIN32)  # the core fixture's port needs a pseudo-terminal of the test's own
  tamberline_gtest(clock_tick_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/clock_tick_test.cpp LIBS tamberline_app tamberline_test_support)
  tamberline_gtest(clock_sync_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/clock_sync_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_time_test.cpp LIBS tamberline_app tamberline_test_support)
  tamberline_gtest(clock_rights_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/posix_clock_rights_test.cpp LIBS tamberline_clock)
endif()
tamberline_gtest(precise_timer_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/precise_timer_test.cpp
  LIBS tamberline_clock tamberline_test_support)
if(WIN32)
  tamberline_gtest(local_clock_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/win32_local_clock_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/local_time_test.cpp LIBS tamberline_clock)
endif()
# The local time tests' zone: Berlin's rule, which needs no zone files; wine takes it from the host's TZ.
set(berlin "TZ=CET-1CEST,M3.5.0,M10.5.0/3")
if(WIN32)
  set_tests_properties(local_clock_test PROPERTIES ENVIRONMENT ${berlin})
else()
  set_tests_properties(clock_sync_test PROPERTIES ENVIRONMENT ${berlin})
endif()
