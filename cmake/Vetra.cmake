# Helpers shared by every folder's CMakeLists.txt.
include(GoogleTest)

# Adds every sub-folder of the current folder that has a CMakeLists.txt, in name order.
function(vetra_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(IS_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/${child} AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# vetra_add_test(<name> SOURCES ... LIBS ...): a GoogleTest suite registered with CTest.
# Tests run headless (Qt's offscreen platform) from the program folder. Their scratch folder
# (testing::TempDir()) is the build tree's own tmp/, so builds running side by side never meet.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/tmp)
function(vetra_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    VETRA_BIN_DIR="${VETRA_BIN_DIR}/"
    VETRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}/"
    VETRA_SHARED_DIR="${VETRA_SHARED_DIR}/")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;TEST_TMPDIR=${CMAKE_BINARY_DIR}/tmp/"
    DISCOVERY_TIMEOUT 60)
endfunction()

# vetra_add_bench(<name> SOURCES ... LIBS ...): a benchmark, built by CI but not run.
function(vetra_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE
    VETRA_BIN_DIR="${VETRA_BIN_DIR}/"
    VETRA_SOURCE_DIR="${CMAKE_SOURCE_DIR}/")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()

# vetra_add_fuzzer(<name> SOURCES ... LIBS ...): a fuzz target defining LLVMFuzzerTestOneInput.
# With VETRA_FUZZ it is a libFuzzer program (.ci/fuzz runs it for a bounded time, seeded from
# fuzz/corpus/<name>/ when that folder exists). Otherwise it is built with a plain driver and CTest
# runs it over its seed corpus, so every target keeps compiling and its seeds keep passing.
function(vetra_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(VETRA_FUZZ)
    add_executable(${name} ${F_SOURCES})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    if(NOT TARGET fuzzers)
      add_custom_target(fuzzers)
    endif()
    add_dependencies(fuzzers ${name})
  else()
    add_executable(${name} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/FuzzDriver.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_compile_definitions(${name} PRIVATE VETRA_BIN_DIR="${VETRA_BIN_DIR}/")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set(corpus ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
  if(NOT VETRA_FUZZ AND IS_DIRECTORY ${corpus})
    add_test(NAME fuzz_seeds.${name} COMMAND ${name} ${corpus} WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
    set_tests_properties(fuzz_seeds.${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8")
  endif()
endfunction()
