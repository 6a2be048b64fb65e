# Native build: engine tests, the platform contract suite against the POSIX implementation, benchmarks.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
include(GoogleTest)
enable_testing()

file(GLOB_RECURSE ZORVANT_NATIVE_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/*_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER ZORVANT_NATIVE_TEST_SOURCES EXCLUDE REGEX "/tests/(win|serve)/")  # serve: cmake/serve.cmake

add_executable(zorvant_tests ${ZORVANT_NATIVE_TEST_SOURCES})
target_link_libraries(zorvant_tests PRIVATE zorvant_check zorvant_ui GTest::gtest_main Threads::Threads)
# Tests read their fixtures (sample logs, golden files) from the source tree.
target_compile_definitions(zorvant_tests PRIVATE ZORVANT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(zorvant_tests DISCOVERY_TIMEOUT 60)

find_package(benchmark QUIET)
if(benchmark_FOUND)
  file(GLOB ZORVANT_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  if(ZORVANT_BENCH_SOURCES)
    add_executable(zorvant_bench ${ZORVANT_BENCH_SOURCES})
    target_link_libraries(zorvant_bench PRIVATE zorvant_ui zorvant_logs benchmark::benchmark_main)
  endif()
  # Memory measured through the allocator, by a program whose operator new counts.
  file(GLOB ZORVANT_MEMORY_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/memory/*.cpp)
  add_executable(zorvant_memory_bench ${ZORVANT_MEMORY_BENCH_SOURCES})
  target_link_libraries(zorvant_memory_bench PRIVATE zorvant_engine zorvant_logs benchmark::benchmark_main)
endif()

# The same engine once more under ThreadSanitizer (a build tree configured with ZORVANT_TSAN): the host's
# thread and the Setup thread side by side, a log read ahead beside the engine, and zorvant check's readers
# and report writers on several threads, with the test platforms they go through. Built on request only; the
# tests are in zorvant_tests as well. (The robot's tests run there too: cmake/serve.cmake.)
file(GLOB ZORVANT_THREAD_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/threads/*_test.cpp
  ${CMAKE_SOURCE_DIR}/tests/check/*_test.cpp)
add_executable(zorvant_thread_tests EXCLUDE_FROM_ALL ${ZORVANT_THREAD_TEST_SOURCES}
  ${CMAKE_SOURCE_DIR}/tests/support/test_support.cpp)
target_link_libraries(zorvant_thread_tests PRIVATE zorvant_check zorvant_ui GTest::gtest_main Threads::Threads)
target_compile_definitions(zorvant_thread_tests PRIVATE ZORVANT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# Checks that build the whole tree another way, each in a build tree of its own (scripts/test.sh and
# scripts/fuzz.sh make them under the build folder):
#   ZORVANT_SANITIZE  every target with AddressSanitizer and UndefinedBehaviorSanitizer; any finding ends the
#                     program with an error;
#   ZORVANT_FUZZ      the same, plus the fuzz targets of tests/fuzz/ (clang's libFuzzer: configure with
#                     clang++), with the libraries instrumented for them.
option(ZORVANT_SANITIZE "Build every target with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ZORVANT_FUZZ "Build the libFuzzer targets of tests/fuzz/ (needs clang), sanitized as ZORVANT_SANITIZE" OFF)
if(ZORVANT_FUZZ)
  file(GLOB ZORVANT_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)
  foreach(source IN LISTS ZORVANT_FUZZ_SOURCES)
    get_filename_component(name ${source} NAME_WE)
    add_executable(zorvant_${name} ${source})
    target_link_libraries(zorvant_${name} PRIVATE zorvant_cli)
    target_link_options(zorvant_${name} PRIVATE -fsanitize=fuzzer)
  endforeach()
endif()
if(ZORVANT_SANITIZE OR ZORVANT_FUZZ)
  set(ZORVANT_CHECKS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -O1 -g)
  if(ZORVANT_FUZZ)
    list(APPEND ZORVANT_CHECKS -fsanitize=fuzzer-no-link)
  endif()
  # The targets above and those of the top-level list alike.
  get_property(ZORVANT_TARGETS DIRECTORY ${CMAKE_SOURCE_DIR} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS ZORVANT_TARGETS)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "STATIC_LIBRARY" OR type STREQUAL "EXECUTABLE")
      target_compile_options(${target} PRIVATE ${ZORVANT_CHECKS})
      target_link_options(${target} PRIVATE ${ZORVANT_CHECKS})
    endif()
  endforeach()
endif()

# One of several plug-ins saving their settings at once (bench/settings/load.sh, scripts/bench.sh settings).
add_executable(zorvant_settings_writers ${CMAKE_SOURCE_DIR}/bench/settings/writers.cpp)
target_link_libraries(zorvant_settings_writers PRIVATE zorvant_engine)
