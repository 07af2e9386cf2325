# The Levels window's cost: runs against the simulated head with the window open and without.
if(TARGET qzr71-headsim AND TARGET qzr71_gui)
  add_executable(levels_window_bench ${CMAKE_CURRENT_LIST_DIR}/levels_window.cpp)
  target_include_directories(levels_window_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(levels_window_bench PRIVATE qzr71_gui)
  target_compile_definitions(levels_window_bench PRIVATE
    QZR71_HEADSIM="$<TARGET_FILE:qzr71-headsim>")
  add_dependencies(levels_window_bench qzr71-headsim)
endif()
