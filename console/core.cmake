# The run controller, the main window's model and the records of runs (no Qt).
find_package(nlohmann_json 3.10 REQUIRED)
add_library(qzr71_console_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LevelsPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFormModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunRecorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunFiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunFilesPosix.cpp)
target_include_directories(qzr71_console_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qzr71_console_core PUBLIC qzr71_adjust qzr71_link qzr71_protocol
                                         PRIVATE nlohmann_json::nlohmann_json)
