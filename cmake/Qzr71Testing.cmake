# qzr71_add_gtest(NAME SOURCES src... LIBRARIES lib... [TIMEOUT seconds] [ENVIRONMENT var=value...]
#                 [PROPERTIES name value...])
# One GoogleTest executable, its cases registered with CTest, each with a time-out so that a
# hanging case fails instead of stalling the run. Discovery happens when the tests run, not at
# build time, so a test binary is never started without its environment. Parameterised cases
# are named by their index: printed parameter values make unreadable test names.
if(CMAKE_CROSSCOMPILING)
  # No GoogleTest libraries for the target system: build them from the sources Debian ships.
  set(QZR71_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${QZR71_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(library gtest gtest_main gmock gmock_main)
    # Their code is not ours: none of our warnings, and never as errors.
    set_target_properties(${library} PROPERTIES COMPILE_OPTIONS "-w")
    if(NOT TARGET GTest::${library})
      add_library(GTest::${library} ALIAS ${library})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Debian's ser2net, the serial device server that the tests and benchmarks put in front of the
# simulated head (tests/support/Ser2net.h). Where it is missing the tests that need it say so.
if(NOT CMAKE_CROSSCOMPILING)
  find_program(QZR71_SER2NET ser2net PATHS /usr/sbin /usr/local/sbin)
  if(NOT QZR71_SER2NET)
    set(QZR71_SER2NET /usr/sbin/ser2net)
  endif()
  add_compile_definitions(QZR71_SER2NET="${QZR71_SER2NET}")
endif()

function(qzr71_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;ENVIRONMENT;PROPERTIES" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  set(properties TIMEOUT ${ARG_TIMEOUT} ${ARG_PROPERTIES})
  if(ARG_ENVIRONMENT)
    list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    NO_PRETTY_VALUES
    DISCOVERY_TIMEOUT 30
    PROPERTIES ${properties})
endfunction()
