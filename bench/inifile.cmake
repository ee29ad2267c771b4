# Not a test: prints the settings file's read and write times for large files.
add_executable(bench_inifile ${CMAKE_CURRENT_LIST_DIR}/inifile_read.cpp)
target_link_libraries(bench_inifile PRIVATE tamberline_app)
