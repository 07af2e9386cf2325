# The timed wait of the motor check: length, lateness and processor cost.
add_executable(adjust_wait_bench ${CMAKE_CURRENT_LIST_DIR}/adjust_wait.cpp)
target_include_directories(adjust_wait_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(adjust_wait_bench PRIVATE qzr71_adjust)
