# tamberline_gtest(NAME SOURCES... LIBS ...): one GoogleTest executable, registered with CTest.
# Tests that talk to the simulator find it through TAMBERLINE_SIM (compile definition, full path).
find_package(GTest REQUIRED)

function(tamberline_gtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE TAMBERLINE_SIM="$<TARGET_FILE:tamberline-sim>")
  add_dependencies(${name} tamberline-sim)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

# tamberline_qtest(NAME SOURCES... LIBS ...): one QtTest executable, run offscreen.
function(tamberline_qtest name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test Qt6::Widgets Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE TAMBERLINE_SIM="$<TARGET_FILE:tamberline-sim>")
  add_dependencies(${name} tamberline-sim)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
