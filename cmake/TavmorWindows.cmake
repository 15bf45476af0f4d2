# Windows build: zstd's decoder and libdeflate's CRC-32 from Debian's source
# packages, GoogleTest from /usr/src/googletest, and tests run under Wine with
# a prefix inside the build folder.
include(TavmorZstdDecoder)
# -O2 keeps the image small without giving up decoding speed.
tavmor_zstd_decoder_library(tavmor_zstd_decoder)
set_target_properties(tavmor_zstd_decoder PROPERTIES OUTPUT_NAME zstd_decoder)
target_compile_options(tavmor_zstd_decoder PRIVATE -O2)

include(TavmorLibdeflate)
# build/windows/libdeflate_crc32.a: bench/run links its checksum floor with it.
tavmor_libdeflate_crc32_library(tavmor_libdeflate)
set_target_properties(tavmor_libdeflate PROPERTIES OUTPUT_NAME deflate_crc32
                                                   ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Wine: one prefix per build folder, created by a CTest fixture before any
# Windows test runs and whose server is stopped after the last.
find_program(TAVMOR_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib/wine64 NO_DEFAULT_PATH)
find_program(TAVMOR_WINE64 NAMES wine64 wine REQUIRED)
find_program(TAVMOR_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TAVMOR_WINESERVER NAMES wineserver REQUIRED)
set(TAVMOR_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${TAVMOR_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

add_test(NAME wine_prefix_start COMMAND ${CMAKE_BINARY_DIR}/wine-run --start)
set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME wine_prefix_stop COMMAND ${CMAKE_BINARY_DIR}/wine-run --stop)
set_tests_properties(wine_prefix_stop PROPERTIES FIXTURES_CLEANUP wine)

# Registers a Windows test executable as one CTest test (every process start
# under Wine costs about a second) that runs under Wine.
# The test's output goes to a file and is shown when the test ends: a Wine
# process that a test kills while it starts can be left behind blocked, and
# one holding CTest's output pipe would keep CTest waiting until the timeout.
# wine_prefix_stop ends such processes with the server.
function(tavmor_add_wine_test target)
  add_test(NAME ${target}
           COMMAND sh -c "log=$1; shift; \"$@\" >\"$log\" 2>&1; status=$?; cat \"$log\"; exit $status"
                   sh ${CMAKE_CURRENT_BINARY_DIR}/${target}.log ${CMAKE_CROSSCOMPILING_EMULATOR}
                   $<TARGET_FILE:${target}> ${ARGN})
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 900
                                            ENVIRONMENT "TAVMOR_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()

# The launcher library, and the launcher stub made of it: the launcher as it
# is, with its configuration block (configuration_block.cpp) left zero and no
# attached data or resources. tavmor-pack carries the stub's bytes and writes
# every launcher from it; the host preset embeds ${CMAKE_BINARY_DIR}/tavmor_launcher_stub.exe,
# so this target builds before the host preset (build preset windows-stub).
add_library(tavmor_launcher STATIC ${TAVMOR_PORTABLE_SOURCES} ${TAVMOR_WIN32_SOURCES})
set_target_properties(tavmor_launcher PROPERTIES OUTPUT_NAME tavmor_launcher)
target_include_directories(tavmor_launcher PUBLIC ${TAVMOR_SOURCE_DIR}/src)
target_compile_definitions(tavmor_launcher PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_compile_options(tavmor_launcher PRIVATE -fno-exceptions -fno-rtti -Os)
target_link_libraries(tavmor_launcher PUBLIC tavmor_zstd_decoder tavmor_libdeflate shell32
                                      PRIVATE tavmor_warnings)

add_executable(tavmor_launcher_stub WIN32 ${TAVMOR_SOURCE_DIR}/src/launcher/configuration_block.cpp)
set_target_properties(tavmor_launcher_stub PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(tavmor_launcher_stub PRIVATE tavmor_launcher tavmor_warnings)
# The runtime's start-up code, linked after our library, calls wWinMain; no
# symbols, so the file ends where its last section ends.
target_link_options(tavmor_launcher_stub PRIVATE -municode -s -Wl,-u,wWinMain)

include(TavmorLauncher)

# A Windows GoogleTest executable, run under Wine as one CTest test.
function(tavmor_add_windows_test target)
  add_executable(${target} ${ARGN})
  # The library's wWinMain stays out: gtest_main brings the entry.
  target_link_libraries(${target} PRIVATE tavmor_launcher gtest_main tavmor_warnings)
  tavmor_add_wine_test(${target})
endfunction()
