# Helpers shared by the tests and benchmarks: pty pairs, the simulator process, the CPU time, a
# program run to its end.
# On Windows the simulator and the pty pair's relay run natively on the Linux side (started through
# wine; the Windows stage builds the relay).
set(support_sources ${CMAKE_CURRENT_LIST_DIR}/sim_process.cpp
                    ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_sim_process.cpp
                    ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_pty_pair.cpp
                    ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_end_requests.cpp
                    ${CMAKE_CURRENT_LIST_DIR}/${TAMBERLINE_OS}_cpu_time.cpp)
if(WIN32)
  list(APPEND support_sources ${CMAKE_CURRENT_LIST_DIR}/win32_wine_host.cpp)
else()
  list(APPEND support_sources ${CMAKE_CURRENT_LIST_DIR}/posix_program_run.cpp)  # runs host programs
endif()
add_library(tamberline_test_support STATIC ${support_sources})
target_include_directories(tamberline_test_support PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tamberline_test_support PUBLIC tamberline_serial Threads::Threads)

# The LD_PRELOAD stand-in for setting the machine's clock, for programs run on the host. Never
# sanitized: it is loaded before everything else, the sanitizers' runtime included.
if(NOT WIN32)
  add_library(tamberline_clock_recorder SHARED ${CMAKE_CURRENT_LIST_DIR}/clock_recorder.cpp)
  target_compile_options(tamberline_clock_recorder PRIVATE -fno-sanitize=all)
  target_link_options(tamberline_clock_recorder PRIVATE -fno-sanitize=all)
  target_link_libraries(tamberline_clock_recorder PRIVATE ${CMAKE_DL_LIBS})
endif()
