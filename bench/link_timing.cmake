# The port's read time-out error and a long run of exchanges over a pseudo-terminal.
find_package(Threads REQUIRED)
add_executable(link_timing_bench ${CMAKE_CURRENT_LIST_DIR}/link_timing.cpp)
target_include_directories(link_timing_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(link_timing_bench PRIVATE qzr71_run Threads::Threads)
