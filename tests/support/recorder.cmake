# The recorder's test drives the real X pointer and keyboard with xdotool and
# records whatever input reaches the display: nothing else may run beside it.
# Its helpers (support/xdo_win.h, support/recorder_rig_win.h) are headers.
if(WIN32 AND TARGET recorder_win_test)
  cmake_language(DEFER DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/..
                 CALL set_tests_properties recorder_win_test PROPERTIES RUN_SERIAL TRUE)
endif()
