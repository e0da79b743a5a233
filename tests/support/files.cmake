# Test helpers of the debug channel, all placed beside the test executables:
# vostrel64.dll (the debug library with its export, in both builds under that
# file name), debuglib_noexport.dll (the same code exporting another name) and
# debuglib_probe, a program debug_test copies into other folders.
get_filename_component(taplore_test_bin ${CMAKE_CURRENT_BINARY_DIR} DIRECTORY)

foreach(lib debuglib debuglib_noexport)
  add_library(${lib} SHARED ${CMAKE_CURRENT_LIST_DIR}/debuglib.cpp)
  set_target_properties(${lib} PROPERTIES
    PREFIX "" SUFFIX ".dll"
    RUNTIME_OUTPUT_DIRECTORY ${taplore_test_bin}
    LIBRARY_OUTPUT_DIRECTORY ${taplore_test_bin}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endforeach()
set_target_properties(debuglib PROPERTIES OUTPUT_NAME vostrel64)
target_compile_definitions(debuglib_noexport PRIVATE DEBUGLIB_EXPORT_NAME=vostrelwprintf_other)

# debuglib_dependent.dll imports debugdep.dll, for the tests of where a
# library's own dependencies are looked up.
if(WIN32)
  add_library(debugdep SHARED ${CMAKE_CURRENT_LIST_DIR}/debugdep.cpp)
  add_library(debuglib_dependent SHARED ${CMAKE_CURRENT_LIST_DIR}/debuglib.cpp)
  target_compile_definitions(debuglib_dependent PRIVATE DEBUGLIB_DEPENDENCY)
  target_link_libraries(debuglib_dependent PRIVATE debugdep)
  foreach(lib debugdep debuglib_dependent)
    set_target_properties(${lib} PROPERTIES
      PREFIX "" SUFFIX ".dll"
      RUNTIME_OUTPUT_DIRECTORY ${taplore_test_bin}
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endforeach()
  if(TARGET debug_test)
    add_dependencies(debug_test debugdep debuglib_dependent)
  endif()
endif()

add_executable(debuglib_probe ${CMAKE_CURRENT_LIST_DIR}/debuglib_probe.cpp)
target_link_libraries(debuglib_probe PRIVATE taplore)
set_target_properties(debuglib_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${taplore_test_bin})

if(TARGET debug_test)
  add_dependencies(debug_test debuglib debuglib_noexport debuglib_probe)
endif()
