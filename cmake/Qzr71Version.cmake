# The release number, from project() alone, as a generated header (target qzr71_version) for
# the programs and the Windows version resource. The components are numbers there: the "06" of
# "1.06" is 6, which a resource compiler would otherwise have to read as octal.
foreach(part major minor patch)
  string(TOUPPER ${part} upper)
  set(value "${PROJECT_VERSION_${upper}}")
  if(value STREQUAL "")
    set(value 0)
  endif()
  math(EXPR qzr71_version_${part} "${value} + 0")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/Qzr71Version.h.in
               ${PROJECT_BINARY_DIR}/generated/Qzr71Version.h @ONLY)

add_library(qzr71_version INTERFACE)
target_include_directories(qzr71_version INTERFACE ${PROJECT_BINARY_DIR}/generated)
