# Helpers shared by the tests and benchmarks: the plain event loop, pty pairs, the simulator process.
add_library(tamberline_test_support STATIC
  ${CMAKE_CURRENT_LIST_DIR}/poll_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pty_pair.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim_process.cpp)
target_include_directories(tamberline_test_support PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(tamberline_test_support PUBLIC tamberline_serial Threads::Threads)
