# Cross-build for 32-bit Windows with MinGW-w64 (posix thread model, static runtime).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORVIN_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVIN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVIN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVIN_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVIN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# No link time in the PE header, so that the same sources always give the same program.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--no-insert-timestamp")
