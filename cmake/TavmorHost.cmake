# Host build: portable code with the system's zstd, libdeflate and
# GoogleTest.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
find_package(GTest REQUIRED)
# zlib only as the tests' reference for the checksum.
find_package(ZLIB REQUIRED)

# libdeflate-dev's static library: tavmor-pack gains no shared library that a
# machine may lack, and carries the same libdeflate version as tavmor-pack.exe
# (TavmorLibdeflate.cmake), so both compress the default icon alike.
find_path(TAVMOR_LIBDEFLATE_INCLUDE libdeflate.h REQUIRED)
find_library(TAVMOR_LIBDEFLATE NAMES libdeflate.a REQUIRED)
add_library(tavmor_libdeflate STATIC IMPORTED)
set_target_properties(tavmor_libdeflate PROPERTIES IMPORTED_LOCATION ${TAVMOR_LIBDEFLATE}
                                                   INTERFACE_INCLUDE_DIRECTORIES ${TAVMOR_LIBDEFLATE_INCLUDE})

option(TAVMOR_SANITIZE "Build host tests with AddressSanitizer and UBSan" ON)
set(TAVMOR_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
                           -fno-sanitize-recover=all)

# The portable code as the packing tool links it, and a sanitized copy for
# the host tests and fuzz targets.
function(tavmor_portable_library name zstd)
  add_library(${name} STATIC ${TAVMOR_PORTABLE_SOURCES})
  target_include_directories(${name} PUBLIC ${TAVMOR_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${zstd} tavmor_libdeflate PRIVATE tavmor_warnings)
endfunction()
# The tool's zstd: the system's, or in a release, whose Linux tool carries
# its libraries itself, zstd built as for tavmor-pack.exe.
if(TAVMOR_RELEASE)
  include(TavmorZstdDecoder)
  tavmor_zstd_full_library(tavmor_zstd_full)
  tavmor_portable_library(tavmor_portable tavmor_zstd_full)
else()
  tavmor_portable_library(tavmor_portable PkgConfig::ZSTD)
endif()
tavmor_portable_library(tavmor_portable_sanitized PkgConfig::ZSTD)
if(TAVMOR_SANITIZE)
  target_compile_options(tavmor_portable_sanitized PUBLIC ${TAVMOR_SANITIZER_FLAGS})
  target_link_options(tavmor_portable_sanitized PUBLIC ${TAVMOR_SANITIZER_FLAGS})
endif()

# A host GoogleTest executable over the sanitized portable code.
function(tavmor_add_host_test target)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE tavmor_portable_sanitized GTest::gtest_main
                                          tavmor_warnings)
  add_test(NAME ${target} COMMAND ${target})
endfunction()

# The attached data writer, host only: it needs zstd's compressor, which the
# launcher never links. Include it as "pack/writer.h". The sanitized twin
# serves the host tests.
function(tavmor_writer_library name portable)
  add_library(${name} STATIC ${TAVMOR_SOURCE_DIR}/tools/pack/writer.cpp
                             ${TAVMOR_SOURCE_DIR}/tools/pack/entry_table_writer.cpp)
  target_include_directories(${name} PUBLIC ${TAVMOR_SOURCE_DIR}/tools)
  target_link_libraries(${name} PUBLIC ${portable} PRIVATE tavmor_warnings)
endfunction()
tavmor_writer_library(tavmor_writer tavmor_portable)
tavmor_writer_library(tavmor_writer_sanitized tavmor_portable_sanitized)

# The fuzz build (preset "fuzz", clang): the portable code and zstd's decoder,
# built from the same sources as the launcher's, instrumented for libFuzzer so
# that it explores the decoder's paths as well as ours.
option(TAVMOR_FUZZ "Build the libFuzzer targets; needs clang" OFF)
if(TAVMOR_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TAVMOR_FUZZ needs clang and clang++ (use the fuzz preset)")
  endif()
  set(TAVMOR_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=all)
  include(TavmorZstdDecoder)
  tavmor_zstd_decoder_library(tavmor_zstd_decoder_fuzz)
  # zstd computes match addresses only to prefetch them, and on damaged input
  # such an address may lie outside any object (a pointer overflow that is
  # never dereferenced). That check stays on for our code, off for zstd's.
  target_compile_options(tavmor_zstd_decoder_fuzz PRIVATE ${TAVMOR_FUZZ_FLAGS}
                                                          -fno-sanitize=pointer-overflow)
  tavmor_portable_library(tavmor_portable_fuzz tavmor_zstd_decoder_fuzz)
  target_compile_options(tavmor_portable_fuzz PUBLIC ${TAVMOR_FUZZ_FLAGS})

  # A libFuzzer executable over the instrumented portable code.
  function(tavmor_add_fuzz_target target)
    add_executable(${target} ${ARGN})
    target_link_libraries(${target} PRIVATE tavmor_portable_fuzz tavmor_warnings)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  endfunction()
endif()
