# Shared build settings: warnings, sanitizers, fuzzing and the dependencies
# every component finds the same way.

find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)

# Our own code builds with warnings as errors; third-party headers are system
# headers and stay out of it.
add_library(quorvane_warnings INTERFACE)
target_compile_options(quorvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wno-missing-field-initializers)

if(QUORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Library code needs coverage instrumentation too, or libFuzzer steers blind.
if(QUORVANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# quorvane_fuzz_target(name sources... LIBS libs...): a libFuzzer executable.
function(quorvane_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS} quorvane_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  # One target builds them all, and nothing else of the fuzz build.
  if(NOT TARGET fuzz_targets)
    add_custom_target(fuzz_targets)
  endif()
  add_dependencies(fuzz_targets ${name})
endfunction()

# quorvane_gtest(name sources... LIBS libs...): a GoogleTest executable registered with CTest.
include(GoogleTest)
find_package(GTest REQUIRED)
function(quorvane_gtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main quorvane_warnings)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  # Each test carries its executable's name as a label, so that a run can
  # pick whole executables (ctest -L).
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 30 PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS ${name} ${T_PROPERTIES})
endfunction()
