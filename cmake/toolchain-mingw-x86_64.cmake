# The windows-tier tests built for 64-bit Windows too: some machines of this
# kind cannot execute 32-bit code, and a 64-bit build still runs the same code
# against the real Win32 of Wine. The product itself is only ever 32-bit.
set(MINGW_TARGET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include("${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake")
