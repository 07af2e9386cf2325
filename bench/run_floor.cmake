# A run against the simulated head, stage by stage, against its floor (waits plus wire time).
if(TARGET qzr71-headsim AND TARGET qzr71_run)
  add_executable(run_floor_bench ${CMAKE_CURRENT_LIST_DIR}/run_floor.cpp)
  target_include_directories(run_floor_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(run_floor_bench PRIVATE qzr71_run qzr71_link)
  target_compile_definitions(run_floor_bench PRIVATE QZR71_HEADSIM="$<TARGET_FILE:qzr71-headsim>")
  add_dependencies(run_floor_bench qzr71-headsim)
endif()
