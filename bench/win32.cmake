# The Windows program under Wine: its start-up, its memory over a whole run, and a whole paced
# run against its floor (scripts/test-windows.sh --window-bench).
if(TARGET qzr71_win32 AND TARGET qzr71_simulated_head)
  add_executable(win32_bench ${CMAKE_CURRENT_LIST_DIR}/win32_bench.cpp)
  target_include_directories(win32_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(win32_bench PRIVATE qzr71_win32 qzr71_win32_resources qzr71_simulated_head)
endif()
