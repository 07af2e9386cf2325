# The main window's memory over whole runs against the simulated head.
if(TARGET qzr71_gui AND TARGET qzr71-headsim)
  add_executable(window_run_bench ${CMAKE_CURRENT_LIST_DIR}/window_run.cpp)
  target_include_directories(window_run_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(window_run_bench PRIVATE qzr71_gui)
  target_compile_definitions(window_run_bench PRIVATE QZR71_HEADSIM="$<TARGET_FILE:qzr71-headsim>")
  add_dependencies(window_run_bench qzr71-headsim)
endif()
