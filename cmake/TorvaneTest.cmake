# add_torvane_test(<name> SOURCES <files...> LIBS <targets...> [ENV <VAR=value...>])
# One line per test program; every TEST() inside is registered with CTest.
function(add_torvane_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} torvane_test_support GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)

  # gtest_discover_tests hands a list-valued property on as separate words, so
  # only the first VAR=value would arrive. The environment is set instead by a
  # script that CTest reads after the discovered list.
  if(ARG_ENV)
    set(script "${CMAKE_CURRENT_BINARY_DIR}/${name}_environment.cmake")
    file(WRITE "${script}"
         "if(${name}_TESTS)\n"
         "  set_tests_properties(\${${name}_TESTS} PROPERTIES ENVIRONMENT [==[${ARG_ENV}]==])\n"
         "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${script}")
  endif()
endfunction()
