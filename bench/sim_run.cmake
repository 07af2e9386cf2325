# Speed of the simulated head: engine alone and through qzr71-headsim on a pseudo-terminal.
if(TARGET qzr71_sim_testrun AND TARGET qzr71-headsim)
  add_executable(sim_run_bench ${CMAKE_CURRENT_LIST_DIR}/sim_run.cpp)
  target_link_libraries(sim_run_bench PRIVATE qzr71_sim_testrun)
  target_compile_definitions(sim_run_bench PRIVATE QZR71_HEADSIM="$<TARGET_FILE:qzr71-headsim>")
  add_dependencies(sim_run_bench qzr71-headsim)
endif()
