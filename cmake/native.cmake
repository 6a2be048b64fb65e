# Native build: engine tests, the platform contract suite against the POSIX implementation, benchmarks.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
include(GoogleTest)
enable_testing()

file(GLOB_RECURSE ZORVANT_NATIVE_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/*_test.cpp ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER ZORVANT_NATIVE_TEST_SOURCES EXCLUDE REGEX "/tests/win/")
# The host's portable pieces (log reading, callsign prefixes), shared by the stand-in and the CLI.
# Everything in host/ but the Windows stand-in (its loader and automation object) and the CLI's own files.
file(GLOB ZORVANT_HOSTLOG_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/*.cpp)
list(FILTER ZORVANT_HOSTLOG_SOURCES EXCLUDE REGEX "/(stand_in|plugin_loader|automation_object|cli)[^/]*\\.cpp$")
add_library(zorvant_hostlog STATIC ${ZORVANT_HOSTLOG_SOURCES})
target_include_directories(zorvant_hostlog PUBLIC ${CMAKE_SOURCE_DIR})

# The command-line tool: its scoring run is a library so that the tests drive it too.
add_library(zorvant_cli STATIC host/cli_score.cpp)
target_link_libraries(zorvant_cli PUBLIC zorvant_engine zorvant_hostlog)
add_executable(zorvant host/cli_main.cpp)
target_link_libraries(zorvant PRIVATE zorvant_cli)

add_executable(zorvant_tests ${ZORVANT_NATIVE_TEST_SOURCES})
target_link_libraries(zorvant_tests PRIVATE zorvant_cli zorvant_ui GTest::gtest_main Threads::Threads)
# Tests read their fixtures (sample logs, golden files) from the source tree.
target_compile_definitions(zorvant_tests PRIVATE ZORVANT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
gtest_discover_tests(zorvant_tests DISCOVERY_TIMEOUT 60)

find_package(benchmark QUIET)
if(benchmark_FOUND)
  file(GLOB ZORVANT_BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
  if(ZORVANT_BENCH_SOURCES)
    add_executable(zorvant_bench ${ZORVANT_BENCH_SOURCES})
    target_link_libraries(zorvant_bench PRIVATE zorvant_ui benchmark::benchmark_main)
  endif()
endif()
