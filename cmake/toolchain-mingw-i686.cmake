# 32-bit Windows programs: the product and its tests.
set(MINGW_TARGET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
# Floating-point arithmetic in SSE2 registers, as on every other target: the
# x87 unit keeps results in 80-bit registers, so a conversion to float or
# double would hand back more precision than the type has. Every Windows the
# launcher supports runs on processors with SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include("${CMAKE_CURRENT_LIST_DIR}/MinGWToolchain.cmake")
