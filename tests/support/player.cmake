# Helpers of the player tests (Windows only): player_target.exe, the window
# the player injects into, and player_bench.exe, the playback benchmark. Both
# are placed beside the test executables, where the tests look for them.
if(WIN32)
  get_filename_component(player_test_bin ${CMAKE_CURRENT_BINARY_DIR} DIRECTORY)

  add_executable(player_target ${CMAKE_CURRENT_LIST_DIR}/player_target.cpp)
  target_link_libraries(player_target PRIVATE user32 gdi32)
  target_link_options(player_target PRIVATE -municode)
  set_target_properties(player_target PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${player_test_bin})

  add_executable(player_bench ${CMAKE_CURRENT_LIST_DIR}/player_bench.cpp)
  target_include_directories(player_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(player_bench PRIVATE taplore)
  target_link_options(player_bench PRIVATE -municode)
  set_target_properties(player_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${player_test_bin})
  add_dependencies(player_bench player_target)

  # motion_bench.exe: a minute of 1 ms motion recorded and played (./bench.sh motion).
  add_executable(motion_bench ${CMAKE_CURRENT_LIST_DIR}/motion_bench.cpp)
  target_include_directories(motion_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(motion_bench PRIVATE taplore comctl32)
  target_link_options(motion_bench PRIVATE -municode)
  set_target_properties(motion_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${player_test_bin})
  # /play of the real program is checked by what reaches the target.
  if(TARGET command_line_e2e_win_test)
    add_dependencies(command_line_e2e_win_test player_target)
  endif()

  # capture_probe.exe takes screenshots through the player; capture_decode
  # decodes them with ImageMagick on the Linux side.
  add_executable(capture_probe ${CMAKE_CURRENT_LIST_DIR}/capture_probe.cpp)
  target_include_directories(capture_probe PRIVATE ${CMAKE_CURRENT_LIST_DIR}
                             ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(capture_probe PRIVATE taplore)
  target_link_options(capture_probe PRIVATE -municode)
  set_target_properties(capture_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${player_test_bin})
  find_program(IMAGEMAGICK_CONVERT convert)
  if(IMAGEMAGICK_CONVERT)
    add_test(NAME capture_decode
             COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/capture_decode.sh
                     ${CMAKE_SOURCE_DIR}/cmake/wine-run.sh $<TARGET_FILE:capture_probe>)
    set_tests_properties(capture_decode PROPERTIES RUN_SERIAL TRUE)
  endif()

  # These tests move the real pointer, type into the focused window and
  # photograph the screen: nothing else may run beside them on the display.
  # (Arguments of a deferred call are read when it runs: the names are spelled out.)
  if(TARGET player_target_win_test AND TARGET capture_win_test)
    add_dependencies(player_target_win_test player_target)
    cmake_language(DEFER DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/..
                   CALL set_tests_properties player_target_win_test capture_win_test
                   PROPERTIES RUN_SERIAL TRUE)
  endif()
endif()
