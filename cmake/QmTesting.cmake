# qm_add_gtest(NAME src... [LIBS lib...] [LABELS label...])
# Builds a GoogleTest program and registers it as one test. In the Windows
# build it runs under Wine through CMAKE_CROSSCOMPILING_EMULATOR; those tests
# share one prefix and display, so they run one at a time.
function(qm_add_gtest name)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(WIN32)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE TIMEOUT 900)
  endif()
endfunction()
