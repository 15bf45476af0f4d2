# Host build: portable code with the system's zstd, zlib and GoogleTest.
find_package(PkgConfig REQUIRED)
pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
find_package(ZLIB REQUIRED)
find_package(GTest REQUIRED)

option(TAVMOR_SANITIZE "Build host tests with AddressSanitizer and UBSan" ON)
set(TAVMOR_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
                           -fno-sanitize-recover=all)

# The portable code as the packing tool links it, and a sanitized copy for
# the host tests and fuzz targets.
function(tavmor_portable_library name)
  add_library(${name} STATIC ${TAVMOR_PORTABLE_SOURCES})
  target_include_directories(${name} PUBLIC ${TAVMOR_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC PkgConfig::ZSTD ZLIB::ZLIB PRIVATE tavmor_warnings)
endfunction()
tavmor_portable_library(tavmor_portable)
tavmor_portable_library(tavmor_portable_sanitized)
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
  add_library(${name} STATIC ${TAVMOR_SOURCE_DIR}/tools/pack/writer.cpp)
  target_include_directories(${name} PUBLIC ${TAVMOR_SOURCE_DIR}/tools)
  target_link_libraries(${name} PUBLIC ${portable} PRIVATE tavmor_warnings)
endfunction()
tavmor_writer_library(tavmor_writer tavmor_portable)
tavmor_writer_library(tavmor_writer_sanitized tavmor_portable_sanitized)
