# Not a test: prints receive latency figures.
add_executable(bench_latency ${CMAKE_CURRENT_LIST_DIR}/latency.cpp)
target_link_libraries(bench_latency PRIVATE tamberline_app tamberline_test_support)
