# The real program's start-up against the simulated head.
if(TARGET qzr71adj AND TARGET qzr71-headsim)
  add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup.cpp)
  target_include_directories(startup_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_compile_definitions(startup_bench PRIVATE QZR71_HEADSIM="$<TARGET_FILE:qzr71-headsim>"
                                                   QZR71_TOOL="$<TARGET_FILE:qzr71adj>")
  add_dependencies(startup_bench qzr71-headsim qzr71adj)
endif()
