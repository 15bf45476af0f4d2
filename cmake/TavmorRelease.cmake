# Release builds (scripts/release, -DTAVMOR_RELEASE=ON): the same sources,
# built so that the binaries can be handed out and come out byte for byte the
# same from any checkout of a commit.
# - No path of the machine reaches a binary: the source and build folders
#   are mapped to fixed names.
# - The Linux tool carries zstd, the checksum library and the C++ runtime
#   itself (their static archives), so it needs nothing but the system's C
#   library.
# - Executables are stripped as they are linked: strip run afterwards
#   stamps the time of day into a Windows image.
# - Every executable leaves its link map in maps/, from which
#   scripts/make-notices checks that THIRD-PARTY-NOTICES.txt names every
#   library linked into it.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=/tavmor
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=/tavmor-build)
set(TAVMOR_LINK_MAPS ${CMAKE_BINARY_DIR}/maps)
file(MAKE_DIRECTORY ${TAVMOR_LINK_MAPS})
# A folder as the argument: ld names each map after its output file.
add_link_options(-s -Wl,-Map=${TAVMOR_LINK_MAPS}/)
if(NOT CMAKE_CROSSCOMPILING)
  set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
  add_link_options(-static-libstdc++ -static-libgcc)
endif()
