# Helpers shared by every folder's CMakeLists.txt.

# Every program target, tests included, sees GBK byte strings for its literals.
set(SB_TEXT_FLAGS -finput-charset=UTF-8 -fexec-charset=GBK)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # clang knows no other execution charset than UTF-8: only the fuzzing tree of
  # bench/fuzz-campaign.sh is built with it, and there the literals stay UTF-8.
  set(SB_TEXT_FLAGS)
endif()
set(SB_WARN_FLAGS -Wall -Wextra -Wno-unused-parameter)

function(sb_target_defaults target)
  target_compile_options(${target} PRIVATE ${SB_TEXT_FLAGS} ${SB_WARN_FLAGS})
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
  get_target_property(type ${target} TYPE)
  if(SB_XP_RUNTIME AND type STREQUAL "EXECUTABLE")
    target_link_libraries(${target} PRIVATE xp_runtime)
  endif()
endfunction()

# Engines are written into the Windows trees' engines-bin/ under the exact file name
# the program stores them as; sb_stored_tool() records one for embedding.
set(SB_ENGINE_BIN ${CMAKE_BINARY_DIR}/engines-bin)

# sb_engine(<target> OUTPUT_NAME <name> SOURCES ... [LIBS ...] [GUI])
# Builds an engine program. In the Windows trees the file is engines-bin/<name>.exe;
# in the native tree it is engines-bin/<name> (no extension), for tests and benchmarks.
function(sb_engine target)
  cmake_parse_arguments(E "GUI" "OUTPUT_NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${E_SOURCES})
  sb_target_defaults(${target})
  target_link_libraries(${target} PRIVATE ${E_LIBS})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${E_OUTPUT_NAME}
    RUNTIME_OUTPUT_DIRECTORY ${SB_ENGINE_BIN})
  if(SB_WINDOWS AND E_GUI)
    # A GUI-subsystem engine still writes to inherited pipes; it just opens no console.
    target_link_options(${target} PRIVATE -mwindows)
  endif()
endfunction()

# sb_stored_tool(<symbol> <engine target> <file name>): the program embeds the built
# engine as a stored tool file block named <symbol>.
function(sb_stored_tool symbol target filename)
  set_property(GLOBAL APPEND PROPERTY SB_STORED_TOOLS "${symbol}|${target}|${filename}")
endfunction()

# sb_native_test(<name> SOURCES ... [LIBS ...]): a googletest program run by ctest.
# In the Windows trees the same call makes a .exe that ctest runs through Wine.
function(sb_native_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  sb_target_defaults(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${name} COMMAND ${name})
endfunction()

# Wine end-to-end tests share one throwaway prefix per build tree, made by the
# wine_prefix fixture (scripts/wine-prefix.sh): code page 936, a CJK font, drives
# D: E: F: mapped to folders under <prefix>/../sandbox-drives, no Z: drive.
set(SB_TEST_PREFIX ${CMAKE_BINARY_DIR}/wine-test/prefix)
set(SB_TEST_DRIVES ${CMAKE_BINARY_DIR}/wine-test/drives)

# The environment of every test run in that prefix. SB_WINE is the Wine loader for the
# tree's programs (scripts start Windows programs with "$SB_WINE"), WINEARCH the kind
# of prefix the tree's programs need.
set(SB_WINE_ENV
  "WINEPREFIX=${SB_TEST_PREFIX};WINEARCH=${SB_WINE_ARCH};SB_WINE=${SB_WINE_LOADER};WINEDEBUG=-all;LC_ALL=zh_CN.UTF-8;SB_TEST_DRIVES=${SB_TEST_DRIVES};SB_ENGINE_BIN=${SB_ENGINE_BIN}")

# sb_wine_test(<name> COMMAND ...): runs COMMAND (a Windows test program and its
# arguments, or a script) in the shared test prefix of a Windows tree.
function(sb_wine_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  add_test(NAME ${name} COMMAND ${T_COMMAND})
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    RESOURCE_LOCK wine_prefix
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "${SB_WINE_ENV}")
endfunction()
