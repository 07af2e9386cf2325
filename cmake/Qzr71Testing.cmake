# qzr71_add_gtest(NAME SOURCES src... LIBRARIES lib... [TIMEOUT seconds] [ENVIRONMENT var=value...])
# One GoogleTest executable, its cases registered with CTest, each with a time-out so that a
# hanging case fails instead of stalling the run. Discovery happens when the tests run, not at
# build time, so a test binary is never started without its environment. Parameterised cases
# are named by their index: printed parameter values make unreadable test names.
find_package(GTest REQUIRED)
include(GoogleTest)

function(qzr71_add_gtest name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBRARIES;ENVIRONMENT" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 60)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    NO_PRETTY_VALUES
    DISCOVERY_TIMEOUT 30
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "${ARG_ENVIRONMENT}")
endfunction()
