# The contest sponsor's log robot, `zorvant serve`: a web page over the same reader, engine and cross-check.
# It needs an HTTP library, SQLite, and OpenSSL's libcrypto and zlib (both come with Debian's HTTP library),
# and is built only where all are found: without them the native build goes on as before, and the plug-in
# never depends on any of them.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(ZORVANT_HTTPLIB QUIET IMPORTED_TARGET cpp-httplib)
endif()
find_package(SQLite3 QUIET)
find_package(OpenSSL QUIET)
find_package(ZLIB QUIET)

set(ZORVANT_SERVE_MISSING "")
if(NOT ZORVANT_HTTPLIB_FOUND)
  list(APPEND ZORVANT_SERVE_MISSING "cpp-httplib (libcpp-httplib-dev)")
endif()
if(NOT SQLite3_FOUND)
  list(APPEND ZORVANT_SERVE_MISSING "SQLite (libsqlite3-dev)")
endif()
if(NOT OPENSSL_CRYPTO_LIBRARY)
  list(APPEND ZORVANT_SERVE_MISSING "OpenSSL (libssl-dev)")
endif()
if(NOT ZLIB_FOUND)
  list(APPEND ZORVANT_SERVE_MISSING "zlib (zlib1g-dev)")
endif()
if(ZORVANT_SERVE_MISSING)
  string(REPLACE ";" ", " missing "${ZORVANT_SERVE_MISSING}")
  message(STATUS "zorvant serve is left out: missing ${missing}")
  return()
endif()
message(STATUS "zorvant serve is built")

file(GLOB ZORVANT_SERVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/serve/*.cpp)
add_library(zorvant_serve STATIC ${ZORVANT_SERVE_SOURCES})
target_link_libraries(zorvant_serve PUBLIC zorvant_check PkgConfig::ZORVANT_HTTPLIB SQLite::SQLite3 OpenSSL::Crypto
  ZLIB::ZLIB Threads::Threads)
target_compile_definitions(zorvant PRIVATE ZORVANT_SERVE=1)
target_link_libraries(zorvant PRIVATE zorvant_serve)

# In-process HTTP tests, and the crash test, which runs the zorvant command itself and kills it.
file(GLOB ZORVANT_SERVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/serve/*.cpp)
add_executable(zorvant_serve_tests ${ZORVANT_SERVE_TEST_SOURCES})
target_link_libraries(zorvant_serve_tests PRIVATE zorvant_serve GTest::gtest_main)
target_compile_definitions(zorvant_serve_tests PRIVATE ZORVANT_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
  ZORVANT_COMMAND="$<TARGET_FILE:zorvant>")
add_dependencies(zorvant_serve_tests zorvant)
# The sanitizer trees of scripts/test.sh build a few targets by name and run their ctest: tests registered
# there without being built would fail as not built. There the server's tests are built on request.
if(NOT (ZORVANT_SANITIZE OR ZORVANT_FUZZ))
  gtest_discover_tests(zorvant_serve_tests DISCOVERY_TIMEOUT 60)
endif()

# The load test of scripts/bench.sh serve: many entrants at once against a running server.
add_executable(zorvant_serve_load ${CMAKE_SOURCE_DIR}/bench/serve/load.cpp ${CMAKE_SOURCE_DIR}/tests/serve/entrant.cpp)
target_link_libraries(zorvant_serve_load PRIVATE zorvant_serve)

# The sanitizer trees of cmake/native.cmake instrument what was defined before this file; these too.
if(ZORVANT_CHECKS)
  foreach(target zorvant_serve zorvant_serve_tests zorvant_serve_load)
    target_compile_options(${target} PRIVATE ${ZORVANT_CHECKS})
    target_link_options(${target} PRIVATE ${ZORVANT_CHECKS})
  endforeach()
endif()
