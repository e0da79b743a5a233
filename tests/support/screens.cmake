# screens_driver.exe photographs the real program for docs/screens/ (run by
# screens.sh); it drives Taplore.exe like the end-to-end tests, beside them.
if(WIN32 AND TARGET Taplore)
  get_filename_component(screens_test_bin ${CMAKE_CURRENT_BINARY_DIR} DIRECTORY)
  add_executable(screens_driver ${CMAKE_CURRENT_LIST_DIR}/screens_driver.cpp)
  target_include_directories(screens_driver PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(screens_driver PRIVATE taplore)
  target_link_options(screens_driver PRIVATE -municode)
  set_target_properties(screens_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${screens_test_bin})
  add_dependencies(screens_driver Taplore)
endif()
