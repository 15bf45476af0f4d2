# Cross toolchain: Debian's mingw-w64 posix-thread compilers for 64-bit Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVMOR_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAVMOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVMOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVMOR_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TAVMOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Executables carry their own runtime: no libgcc, libstdc++ or winpthread DLLs,
# and no time stamp, so the same inputs link to the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
