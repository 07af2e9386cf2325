# kainjow's Mustache templates, header only, as nlohmann-json: a cross build takes the header from
# a folder of its own so that /usr/include stays out of its include path.
if(CMAKE_CROSSCOMPILING)
  set(qzr71_mustache_headers ${CMAKE_BINARY_DIR}/host-headers-mustache)
  file(COPY /usr/include/kainjow DESTINATION ${qzr71_mustache_headers})
else()
  find_path(qzr71_mustache_headers kainjow/mustache.hpp REQUIRED)
endif()
add_library(qzr71::mustache INTERFACE IMPORTED GLOBAL)
set_target_properties(qzr71::mustache PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${qzr71_mustache_headers})
