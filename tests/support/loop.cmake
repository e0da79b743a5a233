# The end-to-end loop test drives the real program, the real X pointer and
# keyboard (xdotool) and the target window that logs what it receives: it
# needs both programs beside it, and nothing else may run beside it.
if(WIN32 AND TARGET loop_e2e_win_test)
  foreach(test loop_e2e_win_test unstuck_e2e_win_test)
    foreach(needed Taplore player_target)
      if(TARGET ${test} AND TARGET ${needed})
        add_dependencies(${test} ${needed})
      endif()
    endforeach()
  endforeach()
  cmake_language(DEFER DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/..
                 CALL set_tests_properties loop_e2e_win_test PROPERTIES RUN_SERIAL TRUE)
endif()
