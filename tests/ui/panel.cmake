# The window as the service's panel: the real tamberlined against the simulator under the recording
# clock, the real window attached to it offscreen. The service is run the POSIX way; under wine the
# Windows stage checks the installed pair instead.
if(NOT WIN32)
  tamberline_qtest(panel_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/panel_test.cpp
    LIBS tamberline_ui tamberline_test_support)
  target_compile_definitions(panel_test PRIVATE TAMBERLINED="$<TARGET_FILE:tamberlined>"
    TAMBERLINE_CLOCK_RECORDER="$<TARGET_FILE:tamberline_clock_recorder>" TAMBERLINE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_dependencies(panel_test tamberlined tamberline_clock_recorder)
endif()
