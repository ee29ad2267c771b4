# tamberline_gtest(NAME SOURCES... LIBS ...): one GoogleTest executable, registered with CTest.
# Tests that talk to the simulator find it through TAMBERLINE_SIM (compile definition, full path).
# A Windows build has no GoogleTest package to find: it builds Debian's sources with its own
# toolchain, and its tests use the native simulator of a Linux build (TAMBERLINE_HOST_SIM), which
# they start through wine; ctest runs them through CMAKE_CROSSCOMPILING_EMULATOR.
if(CMAKE_CROSSCOMPILING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)  # GTest:: targets
  set(TAMBERLINE_HOST_SIM "" CACHE FILEPATH "The native tamberline-sim that tests under wine start")
else()
  find_package(GTest REQUIRED)
endif()

function(tamberline_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(CMAKE_CROSSCOMPILING)
    target_compile_definitions(${name} PRIVATE TAMBERLINE_SIM="${TAMBERLINE_HOST_SIM}")
  else()
    target_compile_definitions(${name} PRIVATE TAMBERLINE_SIM="$<TARGET_FILE:tamberline-sim>")
    add_dependencies(${name} tamberline-sim)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)  # a hang under wine costs CI no more than this
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# tamberline_qtest(NAME SOURCES... LIBS ...): one QtTest executable, run offscreen.
function(tamberline_qtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test Qt6::Widgets Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(CMAKE_CROSSCOMPILING)
    # wine hands no QT_* variable to a Windows program: the platform goes on the command line, and
    # the offscreen platform's font folder into the prefix's registry (the Windows stage does that).
    target_compile_definitions(${name} PRIVATE TAMBERLINE_SIM="${TAMBERLINE_HOST_SIM}")
    add_test(NAME ${name} COMMAND /bin/sh ${PROJECT_SOURCE_DIR}/cmake/wine_qtest.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
                                  $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT 120)
  else()
    target_compile_definitions(${name} PRIVATE TAMBERLINE_SIM="$<TARGET_FILE:tamberline-sim>")
    add_dependencies(${name} tamberline-sim)
    add_test(NAME ${name} COMMAND ${name})
    # Away from the desktop's session bus too: its status-notifier host would make a single click on
    # the tray icon restore the window.
    set_tests_properties(${name} PROPERTIES TIMEOUT 300 ENVIRONMENT
                         "QT_QPA_PLATFORM=offscreen;DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent")
  endif()
endfunction()
