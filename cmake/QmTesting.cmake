# qm_add_gtest(NAME src... [LIBS lib...] [LABELS label...])
# Builds a GoogleTest program and registers it as one test. In the Windows
# build it runs under Wine through CMAKE_CROSSCOMPILING_EMULATOR; those tests
# share one prefix and display, so they hold one lock and run one at a time;
# tests of neither run beside them.
function(qm_add_gtest name)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(WIN32)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wine_prefix TIMEOUT 900)
    target_precompile_headers(${name} REUSE_FROM test_support)
  endif()
endfunction()

# qm_gtest_in_code_page(NAME LOCALE PATTERN)
# Runs the tests of the GoogleTest program NAME whose full names match
# PATTERN once more, as NAME_<code page>, in a process whose ANSI code page
# Wine takes from LOCALE (ja_JP.UTF-8: 932); NAME itself leaves them out.
function(qm_gtest_in_code_page name locale pattern)
  string(REGEX MATCH "^[a-z][a-z]_[A-Z][A-Z]" tag ${locale})
  string(TOLOWER ${tag} tag)
  set(variant ${name}_${tag})
  add_test(NAME ${variant} COMMAND ${name})
  get_test_property(${name} LABELS labels)
  get_test_property(${name} FIXTURES_REQUIRED fixtures)
  set_tests_properties(${variant} PROPERTIES WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                       ENVIRONMENT "LC_ALL=${locale};GTEST_FILTER=${pattern}" RESOURCE_LOCK wine_prefix TIMEOUT 900)
  if(labels)
    set_tests_properties(${variant} PROPERTIES LABELS "${labels}")
  endif()
  if(fixtures)
    set_tests_properties(${variant} PROPERTIES FIXTURES_REQUIRED "${fixtures}")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "GTEST_FILTER=-${pattern}")
endfunction()
