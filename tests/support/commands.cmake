# The main window's end-to-end tests drive the real program built beside them.
foreach(test commands_e2e_win_test file_commands_e2e_win_test command_line_e2e_win_test session_e2e_win_test)
  if(TARGET ${test} AND TARGET Taplore)
    add_dependencies(${test} Taplore)
  endif()
endforeach()
