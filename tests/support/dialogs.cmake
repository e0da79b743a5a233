# The dialog tests show the real dialogs: they link the Japanese and English
# dialog templates and the program icon (not taplore.rc with its manifest).
foreach(test action_edit_dialog_win_test config_dialog_win_test)
  if(TARGET ${test})
    target_sources(${test} PRIVATE
      ${CMAKE_SOURCE_DIR}/resources/ui_ja.rc
      ${CMAKE_SOURCE_DIR}/resources/ui_en.rc
      ${CMAKE_CURRENT_LIST_DIR}/dialogs_icon.rc)
  endif()
endforeach()
