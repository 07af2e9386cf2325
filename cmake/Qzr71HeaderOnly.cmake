include_guard(GLOBAL)

# A header-only library from Debian as the imported target `target`, its headers in
# /usr/include/`folder` (`probe` is one of them). A cross build takes the build machine's headers
# from a folder of their own, so that /usr/include, and with it Linux's C headers, stays out of
# its include path.
function(qzr71_header_only target folder probe)
  if(CMAKE_CROSSCOMPILING)
    set(headers ${CMAKE_BINARY_DIR}/host-headers-${folder})
    file(COPY /usr/include/${folder} DESTINATION ${headers})
  else()
    find_path(qzr71_${folder}_headers ${probe} REQUIRED)
    set(headers ${qzr71_${folder}_headers})
  endif()
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${headers})
endfunction()
