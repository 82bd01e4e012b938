if(TORVANE_SANITIZE)
  # Every test, and the torvane-cli it may start, stops at the first fault and
  # prints its stack; the known leaks of system libraries are left out.
  set(TORVANE_TEST_ENV
      "ASAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
      "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
      "LSAN_OPTIONS=suppressions='${PROJECT_SOURCE_DIR}/tests/lsan.supp':print_suppressions=0")
endif()

# add_torvane_test(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>])
# One line per test program; every TEST() inside is registered with CTest.
function(add_torvane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} torvane_test_support GTest::gtest GTest::gtest_main)
  # Cross-built tests are listed when CTest runs, through the emulator (wine),
  # not while building.
  if(CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()

  # gtest_discover_tests hands a list-valued property on as separate words, so
  # only the first VAR=value would arrive. The environment is set instead by a
  # script that CTest reads after the discovered list.
  set(env ${ARG_ENV} ${TORVANE_TEST_ENV})
  if(env)
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake")
    file(WRITE "${script}"
         "if(${name}_TESTS)\n"
         "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT [==[${env}]==])\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
  endif()
endfunction()
