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

# RapidJSON, header only, reads the records back for the pages: it reads a folder of thousands of
# records several times faster than nlohmann-json's parser. Records are still written with
# nlohmann-json.
include(Qzr71HeaderOnly)
qzr71_header_only(qzr71::rapidjson rapidjson rapidjson/reader.h)
