# The window's --help and --version, asked of the built program without a display: they are answered
# before Qt starts. The Windows program's console is wine's to give, so only the native build checks.
if(TAMBERLINE_UI AND NOT CMAKE_CROSSCOMPILING)
  tamberline_gtest(window_options_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/window_options_test.cpp
    LIBS tamberline_test_support)
  target_compile_definitions(window_options_test PRIVATE TAMBERLINE_WINDOW="$<TARGET_FILE:tamberline>")
  add_dependencies(window_options_test tamberline)
endif()
