# nlohmann-json, header only. A cross build takes the build machine's headers from a folder of
# their own: the package's own target would add /usr/include, and with it Linux's C headers in
# front of mingw-w64's.
if(CMAKE_CROSSCOMPILING)
  set(qzr71_json_headers ${CMAKE_BINARY_DIR}/host-headers)
  file(COPY /usr/include/nlohmann DESTINATION ${qzr71_json_headers})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${qzr71_json_headers})
else()
  find_package(nlohmann_json 3.10 REQUIRED)
endif()
