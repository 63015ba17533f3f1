# keldrin_test_support: the shared main and helpers, built once. Its compile options are those of
# every test program, and it holds the precompiled GoogleTest headers they all reuse (the headers
# are most of a test file's compile time).
function(keldrin_test_support)
  add_library(keldrin_test_support STATIC ${PROJECT_SOURCE_DIR}/tests/TestMain.cpp
                                          ${PROJECT_SOURCE_DIR}/tests/TestSupport.cpp)
  target_include_directories(keldrin_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  # The tests' own code is not where the time goes: build it for compile speed (half the time of
  # -O2 -g, which matters most under the sanitizers), with line tables for the reports.
  target_compile_options(keldrin_test_support PUBLIC $<$<CONFIG:RelWithDebInfo,Release>:-O1 -g1>)
  # Under the sanitizers the tests' own code, the assertion macros' many short-lived temporaries,
  # skips AddressSanitizer's use-after-scope checks: they made the test objects the largest part
  # of that build (CryptSceneTest 14.6 s against 11.7 s, ObjectMeshTest 10.8 s against 6.1 s of
  # CPU). The program, the stand-ins and the generator the tests run keep every check.
  if(KELDRIN_SANITIZE)
    target_compile_options(keldrin_test_support PUBLIC -fno-sanitize-address-use-after-scope)
  endif()
  # _REENTRANT comes with SDL's compile flags to the tests that use SDL; a precompiled header is
  # only used where the same macros are defined, so every test gets it (glibc ignores it).
  target_compile_definitions(keldrin_test_support PUBLIC KELDRIN_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                         KELDRIN_BINARY_DIR="${PROJECT_BINARY_DIR}" _REENTRANT)
  target_link_libraries(keldrin_test_support PUBLIC GTest::gtest GTest::gmock)
  target_precompile_headers(keldrin_test_support PRIVATE <gtest/gtest.h> <gmock/gmock.h> <string> <vector>)
endfunction()

# keldrin_test(NAME SOURCES... LIBS ...): one GoogleTest executable per layer, run by CTest with
# a timeout on every test (300 s unless TIMEOUT says otherwise) and the LABELS given, if any.
# COST makes CTest start the executable's tests before cheaper ones, so that the long runs of the
# real program do not end up last in a parallel run.
# Its main (tests/TestMain.cpp, in keldrin_test_support) sets SDL's dummy drivers, no dialog and
# the data directory; tests/TestSupport.h has the shared helpers.
function(keldrin_test name)
  cmake_parse_arguments(KT "" "TIMEOUT;COST" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT KT_TIMEOUT)
    set(KT_TIMEOUT 300)
  endif()
  add_executable(${name} ${KT_SOURCES})
  target_link_libraries(${name} PRIVATE ${KT_LIBS} keldrin_test_support)
  target_precompile_headers(${name} REUSE_FROM keldrin_test_support)
  set(labels)
  if(KT_LABELS)
    set(labels LABELS "${KT_LABELS}")
  endif()
  if(KT_COST)
    list(APPEND labels COST ${KT_COST})
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT ${KT_TIMEOUT} ${labels})
endfunction()
