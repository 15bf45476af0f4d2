# zstd built from Debian's libzstd source package, which scripts/setup
# fetches into .cache/zstd-src: the launcher's decoder, the fuzz build's
# instrumented copy of the same code, and the whole library that the tools
# handed out link.
set(TAVMOR_ZSTD_SOURCE ${TAVMOR_SOURCE_DIR}/.cache/zstd-src CACHE PATH "Debian's libzstd source tree")
if(NOT EXISTS ${TAVMOR_ZSTD_SOURCE}/lib/zstd.h)
  message(FATAL_ERROR "zstd sources not found in ${TAVMOR_ZSTD_SOURCE}; run scripts/setup")
endif()

# Only the decoder: the launcher never compresses. Plain C, no assembly, no
# legacy formats, and only the single-symbol Huffman decoder: the
# double-symbol one adds 27 KB to every launcher and decodes packed
# application folders no faster (bench/run).
function(tavmor_zstd_decoder_library name)
  file(GLOB sources ${TAVMOR_ZSTD_SOURCE}/lib/common/*.c ${TAVMOR_ZSTD_SOURCE}/lib/decompress/*.c)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} SYSTEM PUBLIC ${TAVMOR_ZSTD_SOURCE}/lib)
  target_compile_definitions(${name} PRIVATE ZSTD_DISABLE_ASM XXH_NAMESPACE=ZSTD_
                                             ZSTD_LEGACY_SUPPORT=0 HUF_FORCE_DECOMPRESS_X1)
  target_compile_options(${name} PRIVATE -w)
endfunction()

# The whole library, compressor included, compressing on several threads
# (zstd's own Windows threads, or POSIX threads): tavmor-pack.exe links it,
# and so does a release's Linux tool, which carries its libraries itself
# (Debian's static libzstd compresses on one thread only). -O3 as zstd's own
# build: packing speed comes from here, not from the presets' -Os.
function(tavmor_zstd_full_library name)
  file(GLOB sources ${TAVMOR_ZSTD_SOURCE}/lib/common/*.c ${TAVMOR_ZSTD_SOURCE}/lib/compress/*.c
       ${TAVMOR_ZSTD_SOURCE}/lib/decompress/*.c)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} SYSTEM PUBLIC ${TAVMOR_ZSTD_SOURCE}/lib)
  target_compile_definitions(${name} PRIVATE ZSTD_MULTITHREAD ZSTD_DISABLE_ASM
                                             XXH_NAMESPACE=ZSTD_ ZSTD_LEGACY_SUPPORT=0)
  target_compile_options(${name} PRIVATE -O3 -w)
  if(NOT WIN32)
    find_package(Threads REQUIRED)
    target_link_libraries(${name} PUBLIC Threads::Threads)
  endif()
endfunction()
