# The Qt windows, the desktop program and its desktop integration.
set(CMAKE_AUTOMOC ON)  # only the Qt targets need moc
add_library(qzr71_gui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ChannelBar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DesignScale.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Forms.cpp
  ${CMAKE_CURRENT_LIST_DIR}/InputBlocker.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Logo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtIdlePump.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtMessageBoxes.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RadioGroup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TLevelsForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TMainForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TVersionForm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TRs232cForm.cpp)
if(NOT WIN32)  # Windows names its ports itself: no device to choose for a COM name
  target_sources(qzr71_gui PRIVATE ${CMAKE_CURRENT_LIST_DIR}/TSerialDevicesForm.cpp)
endif()
target_include_directories(qzr71_gui PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qzr71_gui PUBLIC qzr71_console_core qzr71_link Qt6::Widgets)

add_executable(qzr71adj ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(qzr71adj PRIVATE qzr71_gui)
set_target_properties(qzr71adj PROPERTIES WIN32_EXECUTABLE ON)  # no console window on Windows

# The application icon is drawn by the same code as the window icon; rendered to PNG files at
# build time so that the desktop's launchers show the same mark.
add_executable(qzr71-render-icon ${CMAKE_CURRENT_LIST_DIR}/RenderIcon.cpp
                                 ${CMAKE_CURRENT_LIST_DIR}/Logo.cpp)
target_include_directories(qzr71-render-icon PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(qzr71-render-icon PRIVATE Qt6::Gui)

set(qzr71_icon_sizes 16 32 48 64 128 256)
set(qzr71_icon_files)
foreach(size IN LISTS qzr71_icon_sizes)
  list(APPEND qzr71_icon_files ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/qzr71adj.png)
endforeach()
add_custom_command(
  OUTPUT ${qzr71_icon_files}
  COMMAND qzr71-render-icon ${CMAKE_CURRENT_BINARY_DIR}/icons ${qzr71_icon_sizes}
  DEPENDS qzr71-render-icon
  COMMENT "Drawing the application icon")
add_custom_target(qzr71_icons ALL DEPENDS ${qzr71_icon_files})

install(TARGETS qzr71adj RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT UNIX)
  return()  # the launcher entry and the themed icons are a Linux desktop's
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qzr71adj.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS qzr71_icon_sizes)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/qzr71adj.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
