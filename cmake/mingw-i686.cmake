# 32-bit Windows with Debian's MinGW-w64. Floating point goes through SSE2
# (blinkorb_flags), not the x87 unit.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BLINKORB_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
