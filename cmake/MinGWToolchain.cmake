# The common part of the MinGW-w64 toolchain files: set MINGW_TARGET (the
# compiler prefix) and CMAKE_SYSTEM_PROCESSOR, then include this file.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread-model flavour is the one whose C++ runtime has std::mutex,
# which GoogleTest needs.
set(CMAKE_C_COMPILER ${MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TARGET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Statically linked programs import only system libraries, so they start in a
# Wine prefix or on Windows without any runtime DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
