# tavmor-pack.exe (windows preset, included from tools/pack): the tool's
# sources with host_system_win32.cpp, the portable code, zstd with its
# compressor, compressing on every core with zstd's own Windows threads,
# libdeflate's CRC-32 and zlib-format compressor (the default icon's PNG
# image), and the launcher stub this preset builds. Static like every program
# here: it imports system DLLs only.
tavmor_zstd_full_library(tavmor_zstd_full)

tavmor_libdeflate_compressor_library(tavmor_libdeflate_compressor tavmor_libdeflate)

add_library(tavmor_pack_portable STATIC ${TAVMOR_PORTABLE_SOURCES})
target_include_directories(tavmor_pack_portable PUBLIC ${TAVMOR_SOURCE_DIR}/src)
target_link_libraries(tavmor_pack_portable PUBLIC tavmor_zstd_full tavmor_libdeflate_compressor
                                           PRIVATE tavmor_warnings)

set(TAVMOR_EMBEDDED_STUB ${CMAKE_BINARY_DIR}/tavmor_launcher_stub.exe)
set(TAVMOR_ASM_RODATA [[.rdata,"dr"]])
set(TAVMOR_ASM_END "")
configure_file(embedded_files.S.in ${CMAKE_CURRENT_BINARY_DIR}/embedded_files.S @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/embedded_files.S PROPERTIES
                            OBJECT_DEPENDS "${TAVMOR_EMBEDDED_STUB};${TAVMOR_MANIFEST};${TAVMOR_NOTICES}")

add_library(tavmor_pack STATIC ${TAVMOR_PACK_SOURCES} host_system_win32.cpp writer.cpp entry_table_writer.cpp
                               launcher_stub.cpp ${CMAKE_CURRENT_BINARY_DIR}/embedded_files.S)
add_dependencies(tavmor_pack tavmor_launcher_stub)
target_include_directories(tavmor_pack PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${TAVMOR_SOURCE_DIR}/tools)
target_compile_definitions(tavmor_pack PRIVATE UNICODE _UNICODE WIN32_LEAN_AND_MEAN)
target_compile_options(tavmor_pack PRIVATE -O2)
target_link_libraries(tavmor_pack PUBLIC tavmor_pack_portable shell32 PRIVATE tavmor_warnings)

add_executable(tavmor-pack pack_main.cpp)
target_link_libraries(tavmor-pack PRIVATE tavmor_pack tavmor_warnings)
target_compile_definitions(tavmor-pack PRIVATE TAVMOR_PACK_VERSION="${PROJECT_VERSION}")
set_target_properties(tavmor-pack PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
install(TARGETS tavmor-pack RUNTIME DESTINATION bin)
