# The shell's tests drive the real program (app_e2e_win_test) or load its
# resources (shell_win_test): both need Taplore.exe built beside them.
foreach(test app_e2e_win_test shell_win_test ui_text_win_test)
  if(TARGET ${test} AND TARGET Taplore)
    add_dependencies(${test} Taplore)
  endif()
endforeach()

# Wine takes the user's language from the Unix locale of the process that
# starts it, so the Japanese first start runs as its own test with LANG set.
if(TARGET app_e2e_win_test)
  add_test(NAME app_e2e_japanese_user_win_test
           COMMAND app_e2e_win_test --no-skip "--test-case=a Japanese user*")
  set_tests_properties(app_e2e_japanese_user_win_test PROPERTIES
                       ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=ja_JP.UTF-8" RUN_SERIAL TRUE)
endif()
