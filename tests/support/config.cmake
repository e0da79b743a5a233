# config_probe: the configuration in a process of its own, built beside the
# test executables; config_test copies it into temporary folders to run it
# with a settings file beside the program.
get_filename_component(taplore_test_bin ${CMAKE_CURRENT_BINARY_DIR} DIRECTORY)

add_executable(config_probe ${CMAKE_CURRENT_LIST_DIR}/config_probe.cpp)
target_link_libraries(config_probe PRIVATE taplore)
set_target_properties(config_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${taplore_test_bin})

if(TARGET config_test)
  add_dependencies(config_test config_probe)
endif()
