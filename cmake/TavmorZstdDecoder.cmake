# zstd's decoder built from Debian's libzstd source package, which
# scripts/setup fetches into .cache/zstd-src: the launcher's decoder, and the
# fuzz build's instrumented copy of the same code.
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
