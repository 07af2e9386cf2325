# The index of a runs folder of 10,000 records: how long writing it takes.
add_executable(runs_index_bench ${CMAKE_CURRENT_LIST_DIR}/runs_index.cpp)
target_include_directories(runs_index_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(runs_index_bench PRIVATE qzr71_records)
