# The run controller and the main window's model (no Qt).
add_library(qzr71_console_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LevelsPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFormModel.cpp)
target_include_directories(qzr71_console_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qzr71_console_core PUBLIC qzr71_adjust qzr71_link qzr71_protocol)
