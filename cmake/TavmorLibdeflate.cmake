# libdeflate built from Debian's libdeflate source package, which
# scripts/setup fetches into .cache/libdeflate-src, for the Windows programs:
# the format's CRC-32 everywhere, and for tavmor-pack.exe the zlib-format
# compressor of the default icon's PNG image. The host build takes the same
# version from libdeflate-dev (TavmorHost.cmake), so both tools compress the
# icon to the same bytes.
set(TAVMOR_LIBDEFLATE_SOURCE ${TAVMOR_SOURCE_DIR}/.cache/libdeflate-src
    CACHE PATH "Debian's libdeflate source tree")
if(NOT EXISTS ${TAVMOR_LIBDEFLATE_SOURCE}/libdeflate.h)
  message(FATAL_ERROR "libdeflate sources not found in ${TAVMOR_LIBDEFLATE_SOURCE}; run scripts/setup")
endif()

# The CRC-32 alone: the table-driven code, and the PCLMUL and PCLMUL+AVX
# versions that the first call picks from what CPUID reports
# (lib/x86/cpu_features.c), so a CPU without them still gets the same values.
# -O2 as libdeflate's own build, not the launcher's -Os: this is the cache
# check's inner loop.
function(tavmor_libdeflate_crc32_library name)
  add_library(${name} STATIC ${TAVMOR_LIBDEFLATE_SOURCE}/lib/crc32.c
                             ${TAVMOR_LIBDEFLATE_SOURCE}/lib/x86/cpu_features.c)
  target_include_directories(${name} SYSTEM PUBLIC ${TAVMOR_LIBDEFLATE_SOURCE})
  target_compile_options(${name} PRIVATE -O2 -w)
endfunction()

# The zlib-format compressor, over the CRC-32 library `crc32` (whose CPU
# feature detection it shares).
function(tavmor_libdeflate_compressor_library name crc32)
  set(lib ${TAVMOR_LIBDEFLATE_SOURCE}/lib)
  add_library(${name} STATIC ${lib}/deflate_compress.c ${lib}/zlib_compress.c ${lib}/adler32.c
                             ${lib}/utils.c)
  target_link_libraries(${name} PUBLIC ${crc32})
  target_compile_options(${name} PRIVATE -O2 -w)
endfunction()
