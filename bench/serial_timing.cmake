# The platform's serial device against the simulated head: read time-out lateness, exchange
# times and a pulled cable, comparable between the termios and the Windows device (under Wine:
# scripts/test-windows.sh --bench).
if(TARGET qzr71_simulated_head)
  add_executable(serial_timing_bench ${CMAKE_CURRENT_LIST_DIR}/serial_timing.cpp)
  target_include_directories(serial_timing_bench PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(serial_timing_bench PRIVATE qzr71_run qzr71_simulated_head)
endif()
