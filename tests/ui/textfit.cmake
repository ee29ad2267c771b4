# Every text of the main window and the dialogs fully visible, in each face a Debian machine may
# offer and at twice the scale: one executable, run once per environment.
tamberline_qtest(textfit_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/textfit_test.cpp
                 LIBS tamberline_ui tamberline_test_support)
# Under wine the faces are the prefix's (the Windows stage names a font folder); on Linux each face
# a Debian machine may offer, and twice the scale.
if(CMAKE_CROSSCOMPILING)
  return()
endif()
set_tests_properties(textfit_test PROPERTIES ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen;FONTCONFIG_FILE=${CMAKE_CURRENT_LIST_DIR}/faces/dejavu.conf;TAMBERLINE_FIT_FACE=DejaVu Sans")
add_test(NAME textfit_test_liberation COMMAND textfit_test)
set_tests_properties(textfit_test_liberation PROPERTIES TIMEOUT 300 ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen;FONTCONFIG_FILE=${CMAKE_CURRENT_LIST_DIR}/faces/liberation.conf;TAMBERLINE_FIT_FACE=Liberation Sans")
add_test(NAME textfit_test_scale2 COMMAND textfit_test)
set_tests_properties(textfit_test_scale2 PROPERTIES TIMEOUT 300 ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen;QT_SCALE_FACTOR=2;FONTCONFIG_FILE=${CMAKE_CURRENT_LIST_DIR}/faces/dejavu.conf;TAMBERLINE_FIT_FACE=DejaVu Sans")
