# The windows-tier tests built for 64-bit Windows too: this machine kind may
# lack 32-bit execution, and a 64-bit build still runs the same code against
# the real Win32 of Wine. The product itself is only ever 32-bit.
# Cross-builds 64-bit Windows programs with MinGW-w64. The posix thread-model
# flavour is the one whose C++ runtime has std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Statically linked programs import only system libraries, so they start in a
# Wine prefix or on Windows without any runtime DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
