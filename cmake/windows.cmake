# Windows build (MinGW, i686 or x86_64): Stats.dll, the host stand-in and the tests that run under Wine.
enable_language(RC)
# One self-contained DLL: the operator copies a single file into the host's Plugins folder.
set(ZORVANT_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
# Two builds of one commit give the same bytes wherever their folders are, so that anyone can check a
# download against the source: no time stamp in the PE headers, and the source and build folders mapped to
# fixed names wherever a path could reach the binary. Flags rather than target options, so that they reach
# the libraries made before this file too; the build folder's mapping comes last, as the more specific one
# when it lies inside the source folder.
string(APPEND CMAKE_C_FLAGS " -ffile-prefix-map=${CMAKE_SOURCE_DIR}=/zorvant"
  " -ffile-prefix-map=${CMAKE_BINARY_DIR}=/zorvant-build")
string(APPEND CMAKE_CXX_FLAGS " -ffile-prefix-map=${CMAKE_SOURCE_DIR}=/zorvant"
  " -ffile-prefix-map=${CMAKE_BINARY_DIR}=/zorvant-build")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " -Wl,--no-insert-timestamp")
string(APPEND CMAKE_EXE_LINKER_FLAGS " -Wl,--no-insert-timestamp")

# The window-system side of ui/ (files named *_win32.cpp): the plug-in's windows, drawing and the host
# automation client. A library of its own so that the Windows tests drive these pieces directly too.
file(GLOB ZORVANT_WINUI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/*_win32.cpp)
add_library(zorvant_winui STATIC ${ZORVANT_WINUI_SOURCES} ${CMAKE_SOURCE_DIR}/ui/host_link.h)
set_target_properties(zorvant_winui PROPERTIES LINKER_LANGUAGE CXX)
target_link_libraries(zorvant_winui PUBLIC zorvant_ui user32 gdi32 ole32 oleaut32 uuid)

file(GLOB ZORVANT_PLUGIN_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/plugin/*.cpp ${CMAKE_SOURCE_DIR}/cabrillo/*_win32.cpp ${CMAKE_SOURCE_DIR}/report/*_win32.cpp)
# The decorated names are those a 32-bit host's compiler gives the exports; a 64-bit host would decorate them
# otherwise, and finds the plain names. The 64-bit build exports the plain names alone.
set(ZORVANT_DEF ${CMAKE_SOURCE_DIR}/plugin/stats.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZORVANT_DEF})
  file(STRINGS ${ZORVANT_DEF} ZORVANT_DEF_LINES)
  list(FILTER ZORVANT_DEF_LINES EXCLUDE REGEX "^ *\\?")
  list(JOIN ZORVANT_DEF_LINES "\n" ZORVANT_DEF_TEXT)
  set(ZORVANT_DEF ${CMAKE_BINARY_DIR}/stats64.def)
  file(CONFIGURE OUTPUT ${ZORVANT_DEF} CONTENT "${ZORVANT_DEF_TEXT}\n" @ONLY)
endif()
add_library(Stats SHARED ${ZORVANT_PLUGIN_SOURCES} ${ZORVANT_DEF} resources/stats.rc)
set_target_properties(Stats PROPERTIES PREFIX "" OUTPUT_NAME Stats)
target_link_libraries(Stats PRIVATE zorvant_winui zorvant_engine)
target_link_options(Stats PRIVATE ${ZORVANT_STATIC_RUNTIME})
target_link_libraries(Stats PRIVATE user32 gdi32 ole32 oleaut32)
# The release DLL (scripts/package.sh) carries no symbols: the operator needs none, and they would name
# the files it was built from.
target_link_options(Stats PRIVATE $<$<CONFIG:Release>:-s>)

# zorvant.exe, the command for operators and sponsors on Windows: one file like the DLL, and no symbols in
# the release (scripts/package.sh).
target_link_options(zorvant PRIVATE ${ZORVANT_STATIC_RUNTIME} $<$<CONFIG:Release>:-s>)

# The host stand-in: everything in host/.
file(GLOB ZORVANT_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/host/*.cpp)
add_executable(zorvant_host ${ZORVANT_HOST_SOURCES})
target_link_options(zorvant_host PRIVATE ${ZORVANT_STATIC_RUNTIME})
target_link_libraries(zorvant_host PRIVATE zorvant_options user32 gdi32 ole32 oleaut32 uuid)

# GoogleTest from Debian's source package, built with this toolchain.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The tests drive the plug-in with the stand-in's own pieces: everything in host/ but its main.
file(GLOB ZORVANT_WIN_TEST_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/win/*.cpp ${CMAKE_SOURCE_DIR}/tests/platform/*_test.cpp ${CMAKE_SOURCE_DIR}/host/*.cpp)
list(FILTER ZORVANT_WIN_TEST_SOURCES EXCLUDE REGEX "/host/stand_in\\.cpp$")
add_executable(win_tests ${ZORVANT_WIN_TEST_SOURCES})
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(win_tests PRIVATE zorvant_winui zorvant_options gtest user32 gdi32 ole32 oleaut32 uuid)
target_link_options(win_tests PRIVATE ${ZORVANT_STATIC_RUNTIME})
add_dependencies(win_tests Stats)
# The version resource is read back against the project's version.
target_link_libraries(win_tests PRIVATE version)
target_compile_definitions(win_tests PRIVATE ZORVANT_EXPECTED_VERSION="${PROJECT_VERSION}")
# The tests find the bundled log and its golden files beside them, as on a Windows machine without the tree.
add_custom_command(TARGET win_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/data $<TARGET_FILE_DIR:win_tests>/data)

# The host's rescan through Stats.dll, timed under Wine by scripts/bench.sh (the plug-in loaded as the
# stand-in loads it).
add_executable(zorvant_wine_bench ${CMAKE_SOURCE_DIR}/bench/win/rescan_bench.cpp ${CMAKE_SOURCE_DIR}/host/plugin_loader.cpp)
target_include_directories(zorvant_wine_bench PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(zorvant_wine_bench PRIVATE zorvant_logs)
target_link_options(zorvant_wine_bench PRIVATE ${ZORVANT_STATIC_RUNTIME})
add_dependencies(zorvant_wine_bench Stats)

# The same under Wine (bench/settings/load.sh).
add_executable(zorvant_settings_writers ${CMAKE_SOURCE_DIR}/bench/settings/writers.cpp)
target_link_libraries(zorvant_settings_writers PRIVATE zorvant_engine)
target_link_options(zorvant_settings_writers PRIVATE ${ZORVANT_STATIC_RUNTIME})
