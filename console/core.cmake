# The run controller, the main window's model and the records of runs (no Qt).
add_library(qzr71_console_core STATIC
  ${CMAKE_CURRENT_LIST_DIR}/LevelsPicture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunController.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MainFormModel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunRecord.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunRecorder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RunFiles.cpp)
if(WIN32)
  target_sources(qzr71_console_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RunFilesWin32.cpp)
else()
  target_sources(qzr71_console_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/RunFilesPosix.cpp)
endif()
target_include_directories(qzr71_console_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qzr71_console_core PUBLIC qzr71_adjust qzr71_link qzr71_protocol
                                         PRIVATE nlohmann_json::nlohmann_json)
