# keldrin_test(NAME SOURCES... LIBS ...): one GoogleTest executable per layer, run by CTest with
# SDL's dummy drivers, no dialog, and a timeout on every test.
function(keldrin_test name)
  cmake_parse_arguments(KT "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${KT_SOURCES})
  target_link_libraries(${name} PRIVATE ${KT_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE KELDRIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             KELDRIN_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT 300
               ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy;MIDAS_CONFIG=ok;KELDRIN_DATA=${PROJECT_BINARY_DIR}/data")
endfunction()
